#pragma once
// The recorder's board wrapper: the board table, opening and closing a board,
// its capabilities, configuring and running a recording, and the processing of
// every filled buffer into per-channel blocks, the monitor store and the
// channel levels. It talks to the board only through BoardApi, and turns the
// board's events into messages of the window given to Open.
//
// Called on the main thread only. It owns its blocks, stores and board
// buffers; pointers handed out by GetChannelBlock stay valid until the next
// Configure or destruction.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "acquisition/BoardMessages.h"
#include "acquisition/DeviceError.h"
#include "acquisition/MonitorSource.h"
#include "acquisition/SampleConversion.h"
#include "boards/BoardApi.h"
#include "platform/MessageLoop.h"
#include "records/ChannelSettings.h"

namespace varnel {

inline constexpr int32_t kBoardTableRows = 8;
inline constexpr int32_t kBoardNameSize = 80;
inline constexpr int32_t kQueuedBuffers = 60;

struct BoardEntry {
  int32_t bPresent = 0;
  char szName[kBoardNameSize] = {};
};

// The process-wide board table, filled by EnumerateBoards; the row index is the
// board index of the device list.
extern std::array<BoardEntry, kBoardTableRows> BoardTable;
extern int32_t BoardCount;

// Millisecond tick of the latest processed buffer; 0 until the first one.
extern uint32_t LastBufferTick;

class AcquisitionDevice : public MonitorSource {
 public:
  // `board` is the driver; `loop` receives the board's messages unless Open is
  // given another window. Both must outlive the device.
  AcquisitionDevice(BoardApi& board, platform::MessageLoop& loop);
  ~AcquisitionDevice() override;
  AcquisitionDevice(const AcquisitionDevice&) = delete;
  AcquisitionDevice& operator=(const AcquisitionDevice&) = delete;

  // Board table.
  int32_t EnumerateBoards();
  int32_t GetBoardCount() const;
  // Copies row index's name into text (at least 80 characters) when the row is filled.
  void GetBoardName(int32_t index, char* text) const;

  // window: where the board posts its messages (nullptr: the loop given at
  // construction). 0 when the board cannot be had; LastProblem says why when
  // the board refused.
  int Open(platform::MessageLoop* window, int32_t index);
  void Close();

  int32_t GetChannelCount();
  int32_t GetGainCount();
  int32_t GetMaxThroughput();
  int32_t SupportsSimultaneous();

  // The 16 channel rows of the recorder; they must outlive their use here.
  void SetChannelSettings(ChannelSettings* table);
  void SetChannelSettings(ChannelSettingsArray& table) { SetChannelSettings(table.data()); }
  int Configure(int32_t rate, int32_t triggerMode);
  // Asked before anything of a run is made: false, with the board's sentence
  // in `refusal`, when the open board says it cannot run these settings. A
  // board that gives no reason is left for Configure to judge.
  bool CheckRun(const ChannelSettings* table, int32_t rate, int32_t triggerMode, std::string* refusal);
  // 0 when the board does not start (LastProblem: kStartFailed).
  int Start();
  // What the latest Open or Start could not do; cleared by each of them.
  const DeviceProblem& LastProblem() const { return problem_; }
  // Stops the board. Every buffer it completed before stopping, and then the
  // partly filled one (its valid samples), is converted into the blocks and
  // told to onFinalBuffer before the buffers are freed.
  void Stop();
  std::function<void()> onFinalBuffer;

  // Buffer processing.
  void SizeBuffers();
  void ClearChannelBlocks();
  void ClearMonitorStore();
  // Returns 1 when a buffer was converted, 0 when there was none to take (the
  // blocks then still hold the previous buffer and must not be written again).
  int ProcessBuffer();
  int16_t* GetChannelBlock(int32_t channel);
  // Bytes of the latest buffer in each block: SamplesPerChannel * 2, less for
  // the partly filled last buffer of a run.
  int32_t GetChannelBlockBytes() const { return blockFrames_ * 2; }
  // Frames acquired in this run (counted, so that a run of any length ends at
  // its post-trigger time to the frame), and the same in seconds.
  int64_t GetRunFrames() const { return runFrames_; }
  double GetRunTime() const { return ChannelRate > 0 ? static_cast<double>(runFrames_) / ChannelRate : 0.0; }
  int ReadMonitorFrames(int32_t count, int32_t wantLeft, int32_t wantRight, int16_t* out, int32_t noOffset) override;
  void ComputeLevels();

  // State, for the window and for tests.
  bool IsOpen() const { return bIsOpen == 1; }
  bool IsAcquiring() const { return bIsAcquiring == 1; }
  bool IsTriggered() const { return bTriggered == 1; }
  BoardHandle BoardHandleValue() const { return hBoard; }
  BoardHandle SubsystemHandle() const { return hSubsystem; }
  int32_t GetClockFrequency() const { return ClockFrequency; }
  int32_t GetChannelRate() const { return ChannelRate; }
  int32_t GetSamplesPerChannel() const { return SamplesPerChannel; }
  int32_t GetBufferSamples() const { return BufferSamples; }
  int32_t GetListSize() const { return ListSize; }
  const std::array<int32_t, kChannelCount>& GetChannelList() const { return ChannelList; }
  const std::array<int32_t, kChannelCount>& GetGainList() const { return GainList; }
  int32_t GetMonitorSize() const { return MonitorSize; }
  int32_t GetMonitorFill() const { return MonitorFill; }
  int32_t GetMonitorWritePos() const { return MonitorWritePos; }
  const int16_t* GetMonitorLeft() const { return MonitorLeft.empty() ? nullptr : MonitorLeft.data(); }
  const int16_t* GetMonitorRight() const { return MonitorRight.empty() ? nullptr : MonitorRight.data(); }
  // Whether the last converted buffer went through the offset-only path.
  bool UsedOffsetPath() const { return offsetOnly_; }

 private:
  bool QueryCapability(BoardCapability which, double* value);
  // Converts a buffer taken from the done queue; frames: whole scans to convert.
  bool ConvertTaken(BoardHandle buffer, int32_t frames);
  void DrainCompletedBuffers();
  void ReleaseBoardBuffers(int32_t atLeast);
  void PrepareConversion(const CodeFormat& format);
  void AppendMonitorFrames();
  // ComputeLevels from the peaks the conversion found.
  void ComputeLevelsFromPeaks();

  BoardApi& board_;
  platform::MessageLoop& loop_;
  DeviceProblem problem_;

  platform::MessageLoop* hWndNotify = nullptr;
  BoardMessages events_;
  int32_t bIsOpen = 0;
  int32_t bIsAcquiring = 0;
  int32_t bTriggered = 0;
  BoardHandle hBoard = 0;
  BoardHandle hSubsystem = 0;
  ChannelSettings* ChannelSettingsTable = nullptr;

  int32_t ClockFrequency = 50000;
  int32_t ChannelRate = 50000;
  int32_t SamplesPerChannel = 25000;
  int32_t BufferSamples = 25000;
  int32_t ListSize = 1;
  std::array<int32_t, kChannelCount> ChannelList{};
  std::array<int32_t, kChannelCount> GainList{};
  std::array<int16_t*, kChannelCount> ChannelBlocks{};
  std::vector<int16_t> MonitorLeft;
  std::vector<int16_t> MonitorRight;
  int32_t MonitorSize = 0;
  int32_t MonitorFill = 0;
  int32_t MonitorWritePos = 0;
  int64_t runFrames_ = 0;
  int32_t blockFrames_ = 25000;

  // Storage of the channel blocks, each a cache line apart from the next so that
  // sixteen output streams do not compete for the same cache sets.
  std::vector<int16_t> blockArena_;
  // Board buffers allocated by Configure and not yet freed.
  int32_t boardBuffers_ = 0;

  // Conversion: per list entry its destination (a discard block when the
  // entry's channel has no block) and its table; tables are shared by entries
  // of equal gain and rebuilt only when the board's code format changes.
  std::array<int16_t*, kChannelCount> entryDest_{};
  std::array<const int16_t*, kChannelCount> entryTable_{};
  std::vector<int16_t> discardBlock_;
  // Per slot the last list entry that writes its block (-1: none), and per
  // entry the peak of the latest buffer when the conversion found it.
  std::array<int32_t, kChannelCount> blockEntry_{};
  std::array<int32_t, kChannelCount> entryPeaks_{};
  std::vector<int16_t> tables_;
  std::vector<int32_t> tableGains_;
  CodeFormat tableFormat_{};
  bool tablesValid_ = false;
  bool offsetOnly_ = false;
};

}  // namespace varnel
