#pragma once
// Forces the working files' data and sizes to the disk at least once a second
// while a run records, from a thread of its own, so that a power cut costs at
// most about a second of samples and the main thread never waits for the disk.
// The folder of a newly watched file is synced once as well, so that its name
// survives too.
//
// Watch, Forget, Stop and GetStats are called on the main thread; the syncing
// thread works on descriptors of its own and takes the lock only to copy the list.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace varnel {

class WorkingFileSync {
 public:
  struct Stats {
    uint64_t syncs = 0;  // fdatasync calls made
    double longestMs = 0;
    double totalMs = 0;
    double longestRoundMs = 0;  // one pass over every file
    uint64_t passes = 0;
  };

  explicit WorkingFileSync(std::chrono::milliseconds period = std::chrono::milliseconds(500));
  ~WorkingFileSync();
  WorkingFileSync(const WorkingFileSync&) = delete;
  WorkingFileSync& operator=(const WorkingFileSync&) = delete;

  // Starts (or replaces) the watch of a channel slot's working file.
  void Watch(int32_t slot, const std::string& path);
  void Forget(int32_t slot);
  // A pass now, without waiting for the period; returns when a pass begun after
  // the call has ended (at once when no thread runs).
  void SyncNow();
  // Ends the thread after its pass in progress; the watches are dropped.
  void Stop();
  Stats GetStats() const;
  void ResetStats();

 private:
  struct Handle;
  void Run();

  const std::chrono::milliseconds period_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable passed_;
  std::map<int32_t, std::shared_ptr<Handle>> files_;
  bool stopping_ = false;
  bool syncNow_ = false;
  uint64_t begun_ = 0;  // passes, never reset
  uint64_t ended_ = 0;
  Stats stats_;
  std::thread thread_;
};

}  // namespace varnel
