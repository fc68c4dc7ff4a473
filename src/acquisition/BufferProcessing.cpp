// AcquisitionDevice: sizing of the blocks and stores, the conversion of every
// filled buffer, the monitor store and the channel levels.

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "acquisition/AcquisitionDevice.h"
#include "acquisition/LevelMeter.h"
#include "platform/Clock.h"
#include "platform/Trace.h"

namespace varnel {
namespace {

constexpr int32_t kMinSamplesPerChannel = 8192;
constexpr int32_t kLineSamples = 32;  // one 64-byte cache line of int16

}  // namespace

void AcquisitionDevice::SizeBuffers() {
  if (ChannelSettingsTable == nullptr) return;
  SamplesPerChannel = std::max(ChannelRate / 8, kMinSamplesPerChannel);
  BufferSamples = ListSize * SamplesPerChannel;

  const std::size_t stride =
      (static_cast<std::size_t>(SamplesPerChannel) + kLineSamples - 1) / kLineSamples * kLineSamples + kLineSamples;
  std::size_t enabled = 0;
  for (int32_t slot = 0; slot < kChannelCount; ++slot) enabled += IsSet(ChannelSettingsTable[slot].bIsEnabled);
  // Blocks start on cache lines, so that whole-register stores never straddle two.
  blockArena_ = std::vector<int16_t>(enabled * stride + kLineSamples);
  const auto misalignment = reinterpret_cast<std::uintptr_t>(blockArena_.data()) % (kLineSamples * sizeof(int16_t));
  int16_t* const firstBlock =
      blockArena_.data() + (misalignment == 0 ? 0 : (kLineSamples * sizeof(int16_t) - misalignment) / sizeof(int16_t));
  std::size_t next = 0;
  for (int32_t slot = 0; slot < kChannelCount; ++slot) {
    ChannelBlocks[slot] = IsSet(ChannelSettingsTable[slot].bIsEnabled) ? firstBlock + stride * next++ : nullptr;
  }
  ClearChannelBlocks();
  blockFrames_ = SamplesPerChannel;

  MonitorFill = 0;
  MonitorWritePos = 0;
  const int64_t wholeBuffers = int64_t{ChannelRate} * 10 / SamplesPerChannel;
  MonitorSize = wholeBuffers > 0 ? static_cast<int32_t>(wholeBuffers * SamplesPerChannel) : 0;
  MonitorLeft = std::vector<int16_t>(static_cast<std::size_t>(MonitorSize));
  MonitorRight = std::vector<int16_t>(static_cast<std::size_t>(MonitorSize));
  ClearMonitorStore();

  // Where each list entry's samples go; an entry whose channel has no block
  // is converted into a block nobody reads.
  discardBlock_ = std::vector<int16_t>(static_cast<std::size_t>(SamplesPerChannel));
  entryDest_.fill(discardBlock_.data());
  blockEntry_.fill(-1);
  tableGains_.clear();
  for (int32_t e = 0; e < ListSize; ++e) {
    const int32_t channel = ChannelList[e];
    if (channel >= 0 && channel < kChannelCount && ChannelBlocks[channel] != nullptr) {
      entryDest_[e] = ChannelBlocks[channel];
      // Of two entries of one channel the later one's samples stay in the block.
      blockEntry_[channel] = e;
    }
    if (std::find(tableGains_.begin(), tableGains_.end(), GainList[e]) == tableGains_.end()) {
      tableGains_.push_back(GainList[e]);
    }
  }
  tables_ = std::vector<int16_t>(tableGains_.size() * kCodeCount);
  entryTable_.fill(nullptr);
  for (int32_t e = 0; e < ListSize; ++e) {
    const auto which = std::find(tableGains_.begin(), tableGains_.end(), GainList[e]) - tableGains_.begin();
    entryTable_[e] = tables_.data() + which * kCodeCount;
  }
  tablesValid_ = false;
  offsetOnly_ = false;
}

void AcquisitionDevice::ClearChannelBlocks() {
  for (int16_t* block : ChannelBlocks) {
    if (block != nullptr) std::fill_n(block, SamplesPerChannel, int16_t{0});
  }
}

void AcquisitionDevice::ClearMonitorStore() {
  std::fill(MonitorLeft.begin(), MonitorLeft.end(), int16_t{0});
  std::fill(MonitorRight.begin(), MonitorRight.end(), int16_t{0});
  MonitorFill = 0;
  MonitorWritePos = 0;
}

int16_t* AcquisitionDevice::GetChannelBlock(int32_t channel) {
  if (channel < 0 || channel >= kChannelCount) return nullptr;
  return ChannelBlocks[channel];
}

void AcquisitionDevice::PrepareConversion(const CodeFormat& format) {
  // Rebuilt only when the board reports another range, encoding or
  // resolution; the gains are fixed from one sizing to the next.
  bool offsetOnly = !tableGains_.empty();
  for (std::size_t t = 0; t < tableGains_.size(); ++t) {
    std::span<int16_t, kCodeCount> table(tables_.data() + t * kCodeCount, kCodeCount);
    BuildConversionTable(format, static_cast<double>(tableGains_[t]), table);
    offsetOnly = offsetOnly && IsOffsetTable(table);
  }
  offsetOnly_ = offsetOnly;
  tableFormat_ = format;
  tablesValid_ = true;
}

int AcquisitionDevice::ProcessBuffer() {
  if (bIsOpen != 1 || bIsAcquiring != 1 || hBoard == 0 || hSubsystem == 0 || ChannelSettingsTable == nullptr) {
    return 0;
  }
  BoardHandle buffer = 0;
  if (board_.TakeDoneBuffer(hSubsystem, &buffer) != kBoardSuccess) buffer = 0;
  bTriggered = 1;
  // A message without a buffer brings no samples: counting it would append the
  // previous blocks to the files again and advance the run time by nothing acquired.
  if (buffer == 0) return 0;

  const bool converted = ConvertTaken(buffer, SamplesPerChannel);
  board_.QueueReadyBuffer(hSubsystem, buffer);
  if (!converted) return 0;
  const bool peaksFound = offsetOnly_;

  runFrames_ += SamplesPerChannel;
  platform::Trace("RunTime = %f\n", GetRunTime());
  AppendMonitorFrames();
  if (peaksFound) {
    ComputeLevelsFromPeaks();
  } else {
    ComputeLevels();
  }
  LastBufferTick = platform::GetClock().TickCount();
  return 1;
}

bool AcquisitionDevice::ConvertTaken(BoardHandle buffer, int32_t frames) {
  CodeFormat format = tableFormat_;
  board_.GetCodeFormat(hSubsystem, &format);
  BufferData buffered;
  if (board_.GetBufferData(buffer, &buffered) != kBoardSuccess || buffered.samples == nullptr) return false;
  const uint16_t* data = buffered.samples;
  if (!tablesValid_ || !(format == tableFormat_)) PrepareConversion(format);
  if (offsetOnly_) {
    DemultiplexOffset(data, ListSize, frames, entryDest_.data(), entryPeaks_.data());
  } else {
    DemultiplexTable(data, ListSize, frames, entryDest_.data(), entryTable_.data());
  }
  blockFrames_ = frames;
  return true;
}

void AcquisitionDevice::AppendMonitorFrames() {
  int32_t left = 0;
  int32_t right = 1;
  for (int32_t row = 0; row < kChannelCount; ++row) {
    const ChannelSettings& channel = ChannelSettingsTable[row];
    if (!IsSet(channel.bIsEnabled)) continue;
    if (IsSet(channel.bIsMonitoringLeft)) left = channel.ChannelIndex;
    if (IsSet(channel.bIsMonitoringRight)) right = channel.ChannelIndex;
  }
  if (MonitorSize <= 0) return;
  const int16_t* leftBlock = GetChannelBlock(left);
  const int16_t* rightBlock = GetChannelBlock(right);
  auto copy = [](int16_t* to, const int16_t* from, int32_t n) {
    if (from != nullptr) {
      std::memcpy(to, from, static_cast<std::size_t>(n) * sizeof(int16_t));
    } else {
      std::fill_n(to, n, int16_t{0});
    }
  };
  for (int32_t i = 0; i < SamplesPerChannel;) {
    const int32_t n = std::min(SamplesPerChannel - i, MonitorSize - MonitorWritePos);
    copy(MonitorLeft.data() + MonitorWritePos, leftBlock ? leftBlock + i : nullptr, n);
    copy(MonitorRight.data() + MonitorWritePos, rightBlock ? rightBlock + i : nullptr, n);
    i += n;
    MonitorWritePos += n;
    MonitorFill = std::min(MonitorFill + n, MonitorSize);
    if (MonitorWritePos == MonitorSize) {
      MonitorWritePos = 0;
      platform::TraceText("Circulate!\n");
    }
  }
}

void AcquisitionDevice::ComputeLevels() {
  if (ChannelSettingsTable == nullptr) return;
  for (int32_t row = 0; row < kChannelCount; ++row) {
    ChannelSettings& channel = ChannelSettingsTable[row];
    const int16_t* block = ChannelBlocks[row];
    if (!IsSet(channel.bIsEnabled) || block == nullptr) continue;
    channel.Level = LevelOfPeak(BlockPeak({block, static_cast<std::size_t>(SamplesPerChannel)}), channel.Gain);
  }
}

void AcquisitionDevice::ComputeLevelsFromPeaks() {
  for (int32_t row = 0; row < kChannelCount; ++row) {
    ChannelSettings& channel = ChannelSettingsTable[row];
    const int16_t* block = ChannelBlocks[row];
    if (!IsSet(channel.bIsEnabled) || block == nullptr) continue;
    // A block no entry feeds still holds what it held; only it can tell its peak.
    const int32_t entry = blockEntry_[row];
    const int32_t peak =
        entry >= 0 ? entryPeaks_[entry] : BlockPeak({block, static_cast<std::size_t>(SamplesPerChannel)});
    channel.Level = LevelOfPeak(peak, channel.Gain);
  }
}

int AcquisitionDevice::ReadMonitorFrames(int32_t count, int32_t wantLeft, int32_t wantRight, int16_t* out,
                                         int32_t noOffset) {
  if (out == nullptr || MonitorSize <= 0 || LastBufferTick == 0 || ChannelRate <= 0) return 0;
  const auto elapsed = static_cast<int32_t>(platform::GetClock().TickCount() - LastBufferTick);
  const auto bufferMs = static_cast<int32_t>(int64_t{SamplesPerChannel} * 1000 / ChannelRate);
  int32_t offset = static_cast<int32_t>(static_cast<double>(int64_t{bufferMs} - elapsed) * ChannelRate * 0.001);
  if (offset > SamplesPerChannel) {
    platform::Trace("OFFSET PROBLEM: deltaTime = %d, offset samples = %d\n", elapsed, offset);
    return 0;
  }
  // A buffer later than its duration would put the end past the newest sample.
  if (offset < 0) offset = 0;
  if (noOffset == 1) offset = 0;
  // The newest sample sits just before the write position.
  if (offset < 1) offset = 1;

  int32_t start = MonitorWritePos - offset;
  if (start < 0) start += MonitorFill;
  if (start > MonitorFill - 1) start -= MonitorFill;
  if (start < 0) {
    platform::TraceText("rec_sample < 0\n");
    return 0;
  }
  const int32_t perFrame = (IsSet(wantLeft) ? 1 : 0) + (IsSet(wantRight) ? 1 : 0);
  if (perFrame == 0 || count < perFrame) return 0;
  const int32_t frames = count / perFrame;
  if (MonitorFill < frames) return 0;
  // Only the samples from the oldest held one up to start are history of start;
  // reading further back would wrap into newer samples.
  const int32_t newerThanStart = ((MonitorWritePos - 1 - start) % MonitorFill + MonitorFill) % MonitorFill;
  if (frames > MonitorFill - newerThanStart) return 0;

  const int16_t* single = IsSet(wantLeft) ? MonitorLeft.data() : MonitorRight.data();
  int32_t pos = start;
  for (int32_t slot = count; slot >= perFrame; slot -= perFrame) {
    if (perFrame == 2) {
      out[slot - 2] = MonitorLeft[pos];
      out[slot - 1] = MonitorRight[pos];
    } else {
      out[slot - 1] = single[pos];
    }
    pos = pos == 0 ? MonitorFill - 1 : pos - 1;
  }
  return 1;
}

}  // namespace varnel
