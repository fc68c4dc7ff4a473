#pragma once
// The analyser conversation over the DDE Management Library, as a client of
// the analyser's DDE server (service from ServerName, topic "Data", CF_TEXT).
//
// Every transaction is synchronous with its time-out. While it waits, DDEML
// on Windows keeps dispatching the thread's window messages, so the refresh
// timer and posted messages of a window-message loop run inside a poke: the
// re-entry that the link's PokeInProgress guards against.
// Failures come back as DDEML's own error codes (DMLERR_*, what
// DdeGetLastError reports), so the traces carry them.
//
// Main thread only: the DDEML instance belongs to the thread that opened it.

#include <memory>

#include "analyzer/AnalyzerTransport.h"

namespace varnel {

std::unique_ptr<AnalyzerTransport> MakeDdemlTransport();

}  // namespace varnel
