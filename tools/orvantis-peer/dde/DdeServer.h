#pragma once
// The analyser's side of the conversation on Windows: a DDE server for one
// service and topic that answers "FFT Size", takes commands and pokes, and
// records every transaction it receives.
//
// It speaks the DDE window messages itself (WM_DDE_INITIATE, _EXECUTE,
// _REQUEST, _POKE, _ACK, _DATA, _TERMINATE) and answers each transaction with
// exactly one message, as a DDEML server does on Windows. (Wine's DDEML server
// sends a second, positive acknowledgement after every answered request,
// which makes the client take it for the answer to its next transaction.)
//
// It serves from a thread of its own with windows of its own, one per
// conversation. It never blocks while serving: a delayed answer is kept and
// posted when it is due, so a transaction that timed out at the client has
// still been carried out here. Every public operation is thread-safe.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "PeerTransaction.h"
#include "TransactionRecord.h"

namespace varnel::peer {

class DdeServer {
 public:
  explicit DdeServer(PeerOptions options);
  ~DdeServer();
  DdeServer(const DdeServer&) = delete;
  DdeServer& operator=(const DdeServer&) = delete;

  // Serves from now on; false with the reason when that fails.
  bool Start(std::string* error = nullptr);
  // Ends every conversation and stops serving; what is still held back is dropped.
  void Stop();

  void SetReplyDelay(uint32_t milliseconds);
  void SetFftAnswer(std::string text);
  void SetRefuseFft(bool refuse);
  void SetRefusePokes(bool refuse);
  // Called on the serving thread for every transaction as it arrives.
  void SetObserver(TransactionRecord::Observer observer) { record_.SetObserver(std::move(observer)); }
  std::vector<Transaction> Transactions() const { return record_.All(); }
  void Clear() { record_.Clear(); }
  // Waits (real time) until at least `count` transactions have arrived.
  bool WaitForCount(std::size_t count, uint32_t timeoutMs) const { return record_.WaitForCount(count, timeoutMs); }

  // The serving thread's window side; public for its window procedures only.
  struct Impl;

 private:
  void Serve();
  void Record(Transaction transaction);
  PeerOptions Options() const;

  PeerOptions options_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  TransactionRecord record_;
  std::thread thread_;
  unsigned long threadId_ = 0;
  bool ready_ = false;
  bool serving_ = false;
  std::string startError_;
};

}  // namespace varnel::peer
