#pragma once
// The analyser conversation over the user's D-Bus session bus. The layout of
// the names, methods and payloads is in README.md ("Analyser conversation
// over D-Bus").
//
// Main thread only, like the link that owns it.

#include <memory>

#include "analyzer/AnalyzerTransport.h"

namespace varnel {

std::unique_ptr<AnalyzerTransport> MakeDbusTransport();

}  // namespace varnel
