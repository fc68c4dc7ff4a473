#pragma once
// What a server of the analyser's side keeps of the transactions it received
// (every one, or none; the payloads of the newest only when asked), and whom
// it tells of each one. Thread-safe: the serving thread adds, tests
// and tools read and wait.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "PeerTransaction.h"

namespace varnel::peer {

class TransactionRecord {
 public:
  using Observer = std::function<void(const Transaction&)>;

  // The observer is called on the adding thread, outside the record's lock.
  // Only the newest `keptPayloads` kept transactions keep their payload (0: all).
  void Add(const Transaction& t, bool keep, std::size_t keptPayloads) {
    Observer observer;
    {
      std::lock_guard lock(mutex_);
      if (keep) Keep(t, keptPayloads);
      observer = observer_;
    }
    changed_.notify_all();
    if (observer) observer(t);
  }

  void SetObserver(Observer observer) {
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
  }

  std::vector<Transaction> All() const {
    std::lock_guard lock(mutex_);
    return transactions_;
  }

  template <typename Predicate>
  std::vector<Transaction> Where(Predicate keep) const {
    std::lock_guard lock(mutex_);
    std::vector<Transaction> out;
    for (const auto& t : transactions_)
      if (keep(t)) out.push_back(t);
    return out;
  }

  void Clear() {
    std::lock_guard lock(mutex_);
    transactions_.clear();
  }

  // The payload bytes the record holds: what it costs beyond a line each.
  std::size_t PayloadBytes() const {
    std::lock_guard lock(mutex_);
    std::size_t bytes = 0;
    for (const auto& t : transactions_) bytes += t.bytes.capacity();
    return bytes;
  }

  // Waits (real time) until at least `count` transactions are kept.
  bool WaitForCount(std::size_t count, uint32_t timeoutMs) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return transactions_.size() >= count; });
  }

 private:
  void Keep(const Transaction& t, std::size_t keptPayloads) {
    transactions_.push_back(t);
    transactions_.back().size = t.bytes.size();
    transactions_.back().checksum = Fnv1a(t.bytes);
    if (keptPayloads == 0 || transactions_.size() <= keptPayloads) return;
    // One more kept payload than allowed: the oldest of them goes.
    std::vector<uint8_t>().swap(transactions_[transactions_.size() - 1 - keptPayloads].bytes);
  }

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<Transaction> transactions_;
  Observer observer_;
};

}  // namespace varnel::peer
