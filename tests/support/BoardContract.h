#pragma once
// What every board must do, one test per behaviour, run over every kind of
// board a suite has (INSTANTIATE_TEST_SUITE_P(Kinds, BoardContract, ...) with
// one ContractKind per kind). A kind comes with a rig: the board, which of
// its boards to open, runs it can and cannot make, and how the test lets it
// fill. A board that fills by itself needs none of the filling controls: the
// defaults wait for what it tells.
//
// Include in one file per test program.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "boards/BoardApi.h"

namespace varnel::test {

// What a board tells, counted, and waited for with a generous bound.
class CountingEvents : public BoardEvents {
 public:
  void BufferDone() override { Add(&buffers_); }
  void Overrun() override { Add(&overruns_); }
  int Buffers() const { return Read(buffers_); }
  int Overruns() const { return Read(overruns_); }
  bool WaitForBuffers(int total) { return WaitFor(buffers_, total); }
  bool WaitForOverruns(int total) { return WaitFor(overruns_, total); }

 private:
  void Add(int* counter) {
    std::lock_guard lock(mutex_);
    ++*counter;
    changed_.notify_all();
  }
  int Read(const int& counter) const {
    std::lock_guard lock(mutex_);
    return counter;
  }
  bool WaitFor(const int& counter, int total) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(30), [&] { return counter >= total; });
  }
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int buffers_ = 0;
  int overruns_ = 0;
};

class ContractRig {
 public:
  virtual ~ContractRig() = default;
  virtual BoardApi& Board() = 0;
  // One of the boards it lists.
  virtual std::string BoardName() = 0;
  // A run it makes, of two channels or more.
  virtual RunSettings GoodRun() = 0;
  // Runs it cannot make.
  virtual std::vector<RunSettings> ImpossibleRuns() = 0;
  // Whether CheckRun can tell them in advance (else Configure alone refuses).
  virtual bool ChecksInAdvance() const { return true; }

  // Lets the started board fill `count` more buffers of `scans` scans.
  virtual void Fill(int count, uint32_t scans) { (void)count, (void)scans; }
  // Lets it fill exactly `scans` scans of the next buffer, and returns once
  // they are in; false when a board cannot be held there.
  virtual bool FillPart(uint32_t scans) { return (void)scans, false; }
  // Lets it run on without a ready buffer until it must tell of an overrun.
  virtual void Starve() {}

  // What the board is started with, and waiting for what it tells.
  virtual BoardEvents* Events() { return &events_; }
  virtual bool WaitForBuffers(int total) { return events_.WaitForBuffers(total); }
  virtual bool WaitForOverruns(int total) { return events_.WaitForOverruns(total); }

 protected:
  CountingEvents events_;
};

struct ContractKind {
  const char* name;
  std::function<std::unique_ptr<ContractRig>()> make;
};

inline std::string KindName(const ::testing::TestParamInfo<ContractKind>& info) {
  return info.param.name;
}
inline void PrintTo(const ContractKind& kind, std::ostream* out) {
  *out << kind.name;
}

class BoardContract : public ::testing::TestWithParam<ContractKind> {
 protected:
  static constexpr uint32_t kScans = 480;  // per buffer

  void SetUp() override { rig_ = GetParam().make(); }
  void TearDown() override {
    if (board_ != 0) Board().TerminateBoard(board_);
  }
  BoardApi& Board() { return rig_->Board(); }
  uint32_t ListSize() const { return static_cast<uint32_t>(run_.channels.size()); }

  // Lists the boards and opens the rig's one and its input.
  void Open() {
    Board().EnumerateBoards([](std::string_view) { return 1; });
    ASSERT_EQ(kBoardSuccess, Board().InitializeBoard(rig_->BoardName(), &board_));
    ASSERT_EQ(kBoardSuccess, Board().GetSubsystem(board_, &sub_));
    run_ = rig_->GoodRun();
  }
  // Opens, sets up the good run and queues `count` buffers, returned in order.
  std::vector<BoardHandle> Prepare(int count) {
    Open();
    EXPECT_EQ(kBoardSuccess, Board().Configure(sub_, run_));
    std::vector<BoardHandle> buffers;
    for (int i = 0; i < count; ++i) buffers.push_back(Queue(Allocate()));
    return buffers;
  }
  BoardHandle Allocate() {
    BoardHandle buffer = 0;
    EXPECT_EQ(kBoardSuccess, Board().AllocateBuffer(kScans * ListSize(), &buffer));
    return buffer;
  }
  BoardHandle Queue(BoardHandle buffer) {
    EXPECT_EQ(kBoardSuccess, Board().QueueReadyBuffer(sub_, buffer));
    return buffer;
  }
  void Start() { ASSERT_EQ(kBoardSuccess, Board().StartAcquisition(sub_, rig_->Events())); }
  // Lets `count` buffers fill and waits until the board told of all `total` so far.
  void FillAndWait(int count, int total) {
    rig_->Fill(count, kScans);
    ASSERT_TRUE(rig_->WaitForBuffers(total)) << "buffers told: fewer than " << total;
  }
  // Every done buffer, oldest first, with its valid samples.
  std::vector<std::pair<BoardHandle, int32_t>> TakeAll() {
    std::vector<std::pair<BoardHandle, int32_t>> taken;
    for (BoardHandle buffer = 0;;) {
      EXPECT_EQ(kBoardSuccess, Board().TakeDoneBuffer(sub_, &buffer));
      if (buffer == 0) return taken;
      BufferData data;
      EXPECT_EQ(kBoardSuccess, Board().GetBufferData(buffer, &data));
      taken.emplace_back(buffer, data.valid);
    }
  }
  int32_t Full() const { return static_cast<int32_t>(kScans * ListSize()); }

  std::unique_ptr<ContractRig> rig_;
  RunSettings run_;
  BoardHandle board_ = 0;
  BoardHandle sub_ = 0;
};

using Taken = std::vector<std::pair<BoardHandle, int32_t>>;

TEST_P(BoardContract, ListsNamedBoardsAndSaysWhatTheyOffer) {
  std::vector<std::string> names;
  Board().EnumerateBoards([&](std::string_view name) { return names.emplace_back(name), 1; });
  ASSERT_FALSE(names.empty());
  for (const std::string& name : names) EXPECT_TRUE(!name.empty() && name.size() <= 78) << name;
  EXPECT_NE(names.end(), std::find(names.begin(), names.end(), rig_->BoardName()));
  Open();
  double channels = 0, gains = 0, simultaneous = -1, max = 0;
  EXPECT_EQ(kBoardSuccess, Board().GetSubsystemCapability(sub_, BoardCapability::ChannelCount, &channels));
  EXPECT_EQ(kBoardSuccess, Board().GetSubsystemCapability(sub_, BoardCapability::GainCount, &gains));
  EXPECT_EQ(kBoardSuccess, Board().GetSubsystemCapability(sub_, BoardCapability::Simultaneous, &simultaneous));
  EXPECT_EQ(kBoardSuccess, Board().GetSubsystemCapability(sub_, BoardCapability::MaxThroughput, &max));
  EXPECT_GE(channels, 1);
  EXPECT_GE(gains, 1);
  EXPECT_TRUE(simultaneous == 0 || simultaneous == 1) << simultaneous;
  EXPECT_GT(max, 0);
  CodeFormat codes{0, 0, 0, 0};
  EXPECT_EQ(kBoardSuccess, Board().GetCodeFormat(sub_, &codes));
  EXPECT_GT(codes.upper, codes.lower);
  EXPECT_TRUE(codes.resolution >= 1 && codes.resolution <= 16) << codes.resolution;
  std::vector<int32_t> rates;
  if (Board().GetNativeRates(sub_, &rates) == kBoardSuccess) {
    for (int32_t rate : rates) EXPECT_TRUE(rate > 0 && rate <= max) << rate;
  }
}

TEST_P(BoardContract, RefusesWhatItCannotRunBeforeAnythingStarts) {
  for (const RunSettings& run : rig_->ImpossibleRuns()) {
    SCOPED_TRACE(::testing::Message() << run.clockHz << " Hz, " << run.channels.size() << " entries, trigger "
                                      << run.trigger);
    Open();
    const BoardHandle buffer = Queue(Allocate());
    std::string refusal;
    const BoardStatus checked = Board().CheckRun(sub_, run, &refusal);
    EXPECT_TRUE(checked != kBoardSuccess || !rig_->ChecksInAdvance());
    EXPECT_NE(kBoardSuccess, Board().Configure(sub_, run));
    EXPECT_NE(kBoardSuccess, Board().StartAcquisition(sub_, rig_->Events()));
    rig_->Fill(1, kScans);
    EXPECT_TRUE(TakeAll().empty());
    EXPECT_EQ(kBoardSuccess, Board().EndAcquisitionAndFlush(sub_));
    EXPECT_EQ((Taken{{buffer, 0}}), TakeAll());  // never filled
    EXPECT_EQ(kBoardSuccess, Board().TerminateBoard(std::exchange(board_, 0)));
  }
}

TEST_P(BoardContract, DeliversBuffersInTheOrderQueuedWithExactCounts) {
  const std::vector<BoardHandle> buffers = Prepare(3);
  Start();
  FillAndWait(3, 3);
  EXPECT_EQ((Taken{{buffers[0], Full()}, {buffers[1], Full()}, {buffers[2], Full()}}), TakeAll());
  BufferData data;
  ASSERT_EQ(kBoardSuccess, Board().GetBufferData(buffers[0], &data));
  EXPECT_EQ(static_cast<uint32_t>(Full()), data.size);
  EXPECT_EQ(kBoardSuccess, Board().StopAcquisition(sub_));
}

TEST_P(BoardContract, OverrunsWithoutAReadyBufferAndGoesOnWhenOneComes) {
  const std::vector<BoardHandle> buffers = Prepare(2);
  Start();
  FillAndWait(2, 2);
  rig_->Starve();
  ASSERT_TRUE(rig_->WaitForOverruns(1));
  for (const auto& [buffer, valid] : TakeAll()) Queue(buffer);
  FillAndWait(2, 4);
  EXPECT_EQ((Taken{{buffers[0], Full()}, {buffers[1], Full()}}), TakeAll());
  EXPECT_EQ(kBoardSuccess, Board().StopAcquisition(sub_));
}

TEST_P(BoardContract, StopHandsOverThePartFilledBufferAndFlushTheEmptyOnesAfterIt) {
  for (const uint32_t part : {kScans / 3, uint32_t{0}}) {
    SCOPED_TRACE(part);
    const std::vector<BoardHandle> buffers = Prepare(3);
    Start();
    FillAndWait(1, 1);
    const bool exact = rig_->FillPart(part);
    ASSERT_EQ(kBoardSuccess, Board().StopAcquisition(sub_));
    const Taken stopped = TakeAll();
    ASSERT_EQ(kBoardSuccess, Board().EndAcquisitionAndFlush(sub_));
    const Taken flushed = TakeAll();
    if (exact && part > 0) {
      EXPECT_EQ((Taken{{buffers[0], Full()}, {buffers[1], static_cast<int32_t>(part * ListSize())}}), stopped);
      EXPECT_EQ((Taken{{buffers[2], 0}}), flushed);
    } else if (exact) {
      EXPECT_EQ((Taken{{buffers[0], Full()}}), stopped);
      EXPECT_EQ((Taken{{buffers[1], 0}, {buffers[2], 0}}), flushed);
    }
    // Whatever the moment of the stop: every buffer once, in the order filled,
    // whole scans, and nothing with samples after an empty one.
    Taken all = stopped;
    all.insert(all.end(), flushed.begin(), flushed.end());
    ASSERT_EQ(3u, all.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
      EXPECT_EQ(buffers[i], all[i].first);
      EXPECT_EQ(0, all[i].second % static_cast<int32_t>(ListSize()));
      EXPECT_LE(all[i].second, i == 0 || all[i - 1].second == Full() ? Full() : 0);
    }
    EXPECT_EQ(kBoardSuccess, Board().TerminateBoard(std::exchange(board_, 0)));
  }
}

TEST_P(BoardContract, StartsAgainAfterAStop) {
  const std::vector<BoardHandle> buffers = Prepare(2);
  Start();
  FillAndWait(1, 1);
  ASSERT_EQ(kBoardSuccess, Board().StopAcquisition(sub_));
  const Taken first = TakeAll();
  ASSERT_EQ((Taken{{buffers[0], Full()}}), first);
  Queue(buffers[0]);
  Start();
  FillAndWait(2, 3);
  EXPECT_EQ((Taken{{buffers[1], Full()}, {buffers[0], Full()}}), TakeAll());
  EXPECT_EQ(kBoardSuccess, Board().EndAcquisitionAndFlush(sub_));
}

TEST_P(BoardContract, ClosesWhileRunningAndOpensAgain) {
  const std::vector<BoardHandle> buffers = Prepare(3);
  const BoardHandle held = Allocate();
  Start();
  FillAndWait(1, 1);
  ASSERT_EQ(kBoardSuccess, Board().TerminateBoard(std::exchange(board_, 0)));
  // The input and the buffers queued to it went with the board; the one held did not.
  EXPECT_NE(kBoardSuccess, Board().StopAcquisition(sub_));
  for (BoardHandle buffer : buffers) EXPECT_NE(kBoardSuccess, Board().FreeBuffer(buffer));
  EXPECT_EQ(kBoardSuccess, Board().FreeBuffer(held));
  Open();
  EXPECT_EQ(kBoardSuccess, Board().Configure(sub_, run_));
}

TEST_P(BoardContract, RefusesUnknownHandlesDoubleFreesAndCallsOutOfOrder) {
  Open();
  const BoardHandle unknown = 0xDEAD;
  BoardHandle out = 0;
  double value = 0;
  CodeFormat codes;
  BufferData data;
  std::string refusal;
  const struct {
    const char* what;
    std::function<BoardStatus()> call;
  } refused[] = {
      {"terminate an unknown board", [&] { return Board().TerminateBoard(unknown); }},
      {"input of an unknown board", [&] { return Board().GetSubsystem(unknown, &out); }},
      {"a second input", [&] { return Board().GetSubsystem(board_, &out); }},
      {"release an unknown input", [&] { return Board().ReleaseSubsystem(unknown); }},
      {"capability", [&] { return Board().GetSubsystemCapability(unknown, BoardCapability::ChannelCount, &value); }},
      {"code format", [&] { return Board().GetCodeFormat(unknown, &codes); }},
      {"check", [&] { return Board().CheckRun(unknown, run_, &refusal); }},
      {"configure", [&] { return Board().Configure(unknown, run_); }},
      {"queue to an unknown input", [&] { return Board().QueueReadyBuffer(unknown, Allocate()); }},
      {"queue an unknown buffer", [&] { return Board().QueueReadyBuffer(sub_, unknown); }},
      {"take", [&] { return Board().TakeDoneBuffer(unknown, &out); }},
      {"start", [&] { return Board().StartAcquisition(unknown, rig_->Events()); }},
      {"stop", [&] { return Board().StopAcquisition(unknown); }},
      {"flush", [&] { return Board().EndAcquisitionAndFlush(unknown); }},
      {"data of an unknown buffer", [&] { return Board().GetBufferData(unknown, &data); }},
      {"free an unknown buffer", [&] { return Board().FreeBuffer(unknown); }},
      {"start before a run is set up", [&] { return Board().StartAcquisition(sub_, rig_->Events()); }},
  };
  for (const auto& c : refused) EXPECT_NE(kBoardSuccess, c.call()) << c.what;

  const BoardHandle freed = Allocate();
  ASSERT_EQ(kBoardSuccess, Board().FreeBuffer(freed));
  EXPECT_NE(kBoardSuccess, Board().FreeBuffer(freed)) << "a double free";
  EXPECT_NE(kBoardSuccess, Board().GetBufferData(freed, &data)) << "data of a freed buffer";
  ASSERT_EQ(kBoardSuccess, Board().Configure(sub_, run_));
  const BoardHandle queued = Queue(Allocate());
  EXPECT_NE(kBoardSuccess, Board().QueueReadyBuffer(sub_, queued)) << "a buffer queued twice";
  Start();
  EXPECT_NE(kBoardSuccess, Board().StartAcquisition(sub_, rig_->Events())) << "a second start";
  EXPECT_NE(kBoardSuccess, Board().Configure(sub_, run_)) << "set up while running";
  EXPECT_EQ(kBoardSuccess, Board().EndAcquisitionAndFlush(sub_));
  ASSERT_EQ(kBoardSuccess, Board().ReleaseSubsystem(sub_));
  EXPECT_NE(kBoardSuccess, Board().ReleaseSubsystem(sub_)) << "a second release";
  ASSERT_EQ(kBoardSuccess, Board().TerminateBoard(board_));
  EXPECT_NE(kBoardSuccess, Board().TerminateBoard(std::exchange(board_, 0))) << "a second terminate";
}

}  // namespace varnel::test
