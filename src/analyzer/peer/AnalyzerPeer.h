#pragma once
// The analyser's side of the conversation: owns the bus name of a ServerName,
// serves the topic object, answers "FFT Size", and records every transaction
// it receives. Tests run it in-process; orvantis-peer and varnel-monitor wrap
// it for people.
//
// It serves on a thread of its own with a connection of its own. It never
// waits inside a method: a slow reply is scheduled and sent later, so a call
// that timed out at the recorder has still been carried out here.
// Every public operation is thread-safe.

#include <atomic>
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

// Decides on the serving thread whether a command or a complete poke is
// carried out: an empty answer accepts, any text refuses with that text.
// It must return at once; it never sees what the options already refuse.
using Screen = std::function<std::string(const Transaction&)>;
// Decides on the serving thread, at the first slice of a poke, whether the
// poke is taken at all, from its item and announced total: an empty answer
// takes it, any text refuses it with that text before anything is kept.
using PokeStartScreen = std::function<std::string(const std::string& item, uint32_t total)>;

// Item names longer than this are refused, and neither kept nor repeated.
inline constexpr std::size_t kMaxItemBytes = 64;

class AnalyzerPeer {
 public:
  explicit AnalyzerPeer(PeerOptions options);
  ~AnalyzerPeer();
  AnalyzerPeer(const AnalyzerPeer&) = delete;
  AnalyzerPeer& operator=(const AnalyzerPeer&) = delete;

  // Connects and owns the name; false with the reason when that fails.
  bool Start(std::string* error = nullptr);
  // Leaves the bus at once, without answering what is still pending.
  void Vanish();
  bool Serving() const;
  const std::string& BusName() const { return busName_; }
  const std::string& ObjectPath() const { return objectPath_; }

  void SetFftAnswer(std::string text);
  void SetRefuseFft(bool refuse);
  void SetRefusePokes(bool refuse);
  void SetReplyDelay(uint32_t milliseconds);
  void SetScreen(Screen screen);
  void SetPokeStartScreen(PokeStartScreen screen);

  std::vector<Transaction> Transactions() const { return record_.All(); }
  std::vector<Transaction> Of(Kind kind, const std::string& item = {}) const;
  void Clear() { record_.Clear(); }
  // Waits (real time) until at least `count` transactions have arrived.
  bool WaitForCount(std::size_t count, uint32_t timeoutMs) const { return record_.WaitForCount(count, timeoutMs); }
  // The bytes held by pokes whose slices have not all come, and how many
  // there are (at most a few: one more begun drops the oldest).
  std::size_t UnfinishedPokeBytes() const { return unfinishedBytes_; }
  std::size_t UnfinishedPokes() const { return unfinishedPokes_; }
  // The payload bytes kept of the transactions received.
  std::size_t KeptPayloadBytes() const { return record_.PayloadBytes(); }
  // Called on the serving thread for every transaction as it arrives.
  void SetObserver(TransactionRecord::Observer observer) { record_.SetObserver(std::move(observer)); }

  // The serving thread's handlers; public for the C vtable only.
  struct Impl;

 private:
  void Serve();
  void Record(Transaction transaction);

  PeerOptions options_;
  std::string busName_;
  std::string objectPath_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  TransactionRecord record_;
  Screen screen_;
  PokeStartScreen pokeStartScreen_;
  std::atomic<std::size_t> unfinishedBytes_{0};
  std::atomic<std::size_t> unfinishedPokes_{0};
  std::thread thread_;
  bool started_ = false;
  bool ready_ = false;
  bool stop_ = false;
  bool serving_ = false;
  std::string startError_;
  friend struct Impl;
};

// Case-insensitive ASCII comparison, as item names are matched.
bool SameItem(const std::string& a, const std::string& b);

}  // namespace varnel::peer
