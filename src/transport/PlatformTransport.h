#pragma once
// The analyser transport of this platform; the programs call it.

#include <memory>

#include "analyzer/AnalyzerTransport.h"

namespace varnel {

std::unique_ptr<AnalyzerTransport> MakePlatformTransport();

}  // namespace varnel
