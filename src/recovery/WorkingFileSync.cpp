#include "recovery/WorkingFileSync.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/FileSync.h"
#include "platform/Files.h"
#include "platform/OsFile.h"

namespace varnel {

// A handle of the syncing thread's own: the main thread closing or
// renaming its file never pulls it from under a sync in progress.
struct WorkingFileSync::Handle {
  explicit Handle(const std::string& path) : path(path), folder(platform::FolderOf(path)) { file.Open(path, false); }
  platform::OsFile file;
  std::string path;
  std::string folder;
  bool folderSynced = false;
};

WorkingFileSync::WorkingFileSync(std::chrono::milliseconds period) : period_(period) {}

WorkingFileSync::~WorkingFileSync() { Stop(); }

void WorkingFileSync::Watch(int32_t slot, const std::string& path) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = files_.find(slot);
    if (it != files_.end() && it->second->path == path) return;
  }
  auto handle = std::make_shared<Handle>(path);
  if (!handle->file.IsOpen()) return;
  std::lock_guard<std::mutex> lock(mutex_);
  files_[slot] = std::move(handle);
  if (!thread_.joinable()) {
    stopping_ = false;
    thread_ = std::thread([this] { Run(); });
  }
}

void WorkingFileSync::Forget(int32_t slot) {
  std::shared_ptr<Handle> gone;  // closed outside the lock
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = files_.find(slot);
  if (it == files_.end()) return;
  gone = std::move(it->second);
  files_.erase(it);
}

void WorkingFileSync::SyncNow() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!thread_.joinable() || stopping_) return;
  const uint64_t target = begun_ + 1;
  syncNow_ = true;
  wake_.notify_all();
  passed_.wait(lock, [&] { return ended_ >= target || stopping_; });
}

void WorkingFileSync::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    files_.clear();
  }
  wake_.notify_all();
  passed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

WorkingFileSync::Stats WorkingFileSync::GetStats() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stats_;
}

void WorkingFileSync::ResetStats() {
  std::lock_guard<std::mutex> lock(mutex_);
  stats_ = Stats{};
}

void WorkingFileSync::Run() {
  using Clock = std::chrono::steady_clock;
  auto next = Clock::now() + period_;
  for (;;) {
    std::vector<std::shared_ptr<Handle>> handles;
    bool asked = false;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait_until(lock, next, [this] { return stopping_ || syncNow_; });
      if (stopping_) return;
      asked = std::exchange(syncNow_, false);
      ++begun_;
      for (const auto& [slot, handle] : files_) handles.push_back(handle);
    }
    // Start to start, so a slow pass does not stretch the interval; a pass
    // asked for leaves the schedule as it is.
    if (!asked) next += period_;
    const auto roundStart = Clock::now();
    std::vector<std::string> folders;
    for (const auto& handle : handles) {
      const auto start = Clock::now();
      handle->file.Sync();
      const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      std::lock_guard<std::mutex> lock(mutex_);
      ++stats_.syncs;
      stats_.totalMs += ms;
      stats_.longestMs = std::max(stats_.longestMs, ms);
      if (!handle->folderSynced) {
        handle->folderSynced = true;
        folders.push_back(handle->folder);
      }
    }
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    for (const std::string& folder : folders) platform::SyncFolder(folder);
    const double roundMs = std::chrono::duration<double, std::milli>(Clock::now() - roundStart).count();
    std::lock_guard<std::mutex> lock(mutex_);
    stats_.longestRoundMs = std::max(stats_.longestRoundMs, roundMs);
    ++stats_.passes;
    ++ended_;
    passed_.notify_all();
    if (Clock::now() > next) next = Clock::now();
  }
}

}  // namespace varnel
