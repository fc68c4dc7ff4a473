#pragma once
// orvantis-peer.exe from beside the test program, serving until the object
// goes: the analyser's side in a process of its own.

#include <windows.h>

#include <string>
#include <vector>

namespace varnel::test {

class PeerProcess {
 public:
  PeerProcess() = default;
  ~PeerProcess();
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;

  // Returns once the peer says "ready"; false when it ended before that.
  bool Start(const std::vector<std::string>& arguments);
  // Ends the peer at once, as a crash would: no conversation is closed.
  void Kill();

 private:
  PROCESS_INFORMATION process_{};
  HANDLE output_ = nullptr;
};

}  // namespace varnel::test
