#pragma once
// What a server of the analyser's side keeps of the transactions it received,
// and whom it tells of each one. Thread-safe: the serving thread adds, tests
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
  void Add(const Transaction& t, bool keep) {
    Observer observer;
    {
      std::lock_guard lock(mutex_);
      if (keep) transactions_.push_back(t);
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

  // Waits (real time) until at least `count` transactions are kept.
  bool WaitForCount(std::size_t count, uint32_t timeoutMs) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return transactions_.size() >= count; });
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<Transaction> transactions_;
  Observer observer_;
};

}  // namespace varnel::peer
