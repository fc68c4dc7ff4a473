#pragma once
// Requests from outside to stop the recording and save: Ctrl-C and SIGTERM on
// POSIX; Ctrl-C, Ctrl-Break, closing the console, logging off and shutting
// down on Windows. The build picks posix/ or win32/StopRequests.cpp.

namespace varnel::record {

// Main thread, once, before the recording starts.
void InstallStopRequests();
// Safe from any thread and from a signal handler.
bool StopRequested();
// Main thread, when the files are saved: a request that must not return
// before that (Windows closing the console) may now let the process end.
void StopCompleted();

}  // namespace varnel::record
