#include "SampleExport.h"

#include <cstdio>
#include <cstring>

#include "SampleBlocks.h"
#include "platform/Files.h"
#include "platform/LittleEndian.h"
#include "wave/Bext.h"
#include "wave/ChunkIds.h"
#include "wave/Rf64Header.h"

namespace varnel::info {
namespace {

using platform::PutLittle;
using platform::RiffChunk;
using platform::RiffFile;

// Writes go out in large pieces; the first failure sticks.
class Output {
 public:
  explicit Output(RiffFile& file) : file_(file) {}
  void Put(const void* data, std::size_t size) {
    const auto* p = static_cast<const char*>(data);
    buffer_.insert(buffer_.end(), p, p + size);
    if (buffer_.size() >= (1u << 20)) Flush();
  }
  void Put(const std::string& text) { Put(text.data(), text.size()); }
  bool Flush() {
    ok_ = ok_ && file_.Write(buffer_.data(), buffer_.size()) == buffer_.size();
    buffer_.clear();
    return ok_;
  }

 private:
  RiffFile& file_;
  std::vector<char> buffer_;
  bool ok_ = true;
};

std::string Header(const WaveInfo& info) {
  std::string name = info.scale.name.empty() ? "value" : info.scale.name;
  for (char& c : name)
    if (c == ',' || c == '"' || c == '\n' || c == '\r') c = ' ';
  std::string line = "time_s";
  for (uint32_t c = 0; c < info.Channels(); ++c)
    line +=
        "," + name + (info.Channels() > 1 ? " " + std::to_string(c + 1) : "") + " [" + info.scale.WaveformUnits() + "]";
  return line + "\n";
}

bool WriteCsv(RiffFile& in, const WaveInfo& info, RiffFile& out) {
  Output o(out);
  o.Put(Header(info));
  SampleBlocks blocks(in, info);
  const double unitsPerCode = info.scale.UnitsPerCode();
  const double rate = info.Rate();
  uint64_t frame = 0;
  char text[48];
  for (const std::vector<double>* codes = &blocks.Next(); !codes->empty(); codes = &blocks.Next()) {
    for (std::size_t i = 0; i < codes->size(); ++i) {
      if (i % info.Channels() == 0) {
        o.Put(text, static_cast<std::size_t>(std::snprintf(text, sizeof text, "%.9f", frame++ / rate)));
      }
      o.Put(text, static_cast<std::size_t>(std::snprintf(text, sizeof text, ",%.9g", (*codes)[i] * unitsPerCode)));
      if (i % info.Channels() == info.Channels() - 1) o.Put("\n", 1);
    }
  }
  return !blocks.Failed() && o.Flush();
}

// The source's bext (its start time), saying that the samples are values in units.
wave::Bext ExportBext(const WaveInfo& info) {
  wave::Bext bext = info.bext.value_or(wave::Bext{});
  if (!info.bext) bext.originator = "Varnel";
  std::string description = std::string(wave::kValuesKey) + "=" + info.scale.WaveformUnits() + "\n";
  if (!info.bext && !info.scale.name.empty())
    description += std::string(wave::kChannelKey) + "=" + info.scale.name + "\n";
  // The source's lines follow as far as whole lines fit.
  for (std::size_t from = 0, to; (to = bext.description.find('\n', from)) != std::string::npos; from = to + 1) {
    if (description.size() + to + 1 - from > 256) break;
    description += bext.description.substr(from, to + 1 - from);
  }
  bext.description = description;
  bext.codingHistory += "A=PCM,F=" + std::to_string(info.Rate()) +
                        ",W=32,M=" + (info.Channels() == 1 ? "mono" : "multi") +
                        ",T=varnel-info;values=" + info.scale.WaveformUnits() + "\r\n";
  return bext;
}

// RIFF, the ds64 reserve, fmt (IEEE float, 18 bytes), fact, the source's bext, data.
bool WriteFloatHeader(const WaveInfo& info, RiffFile& out, RiffChunk& riff, RiffChunk& data) {
  const uint32_t channels = info.Channels(), blockAlign = 4 * channels;
  unsigned char fmt[18] = {};
  PutLittle(fmt, wave::kFloatTag, 2);
  PutLittle(fmt + 2, channels, 2);
  PutLittle(fmt + 4, info.Rate(), 4);
  PutLittle(fmt + 8, static_cast<uint64_t>(info.Rate()) * blockAlign, 4);
  PutLittle(fmt + 12, blockAlign, 2);
  PutLittle(fmt + 14, 32, 2);
  unsigned char fact[4];
  PutLittle(fact, info.frames > UINT32_MAX ? wave::kSizeInDs64 : info.frames, 4);
  RiffChunk fmtChunk{wave::kFmtId, 18}, factChunk{platform::MakeFourCC('f', 'a', 'c', 't'), 4};
  riff = RiffChunk{platform::kRiffId, 0, wave::kWaveId};
  data = RiffChunk{wave::kDataId, 0};
  bool ok = out.CreateChunk(riff, true) && wave::Rf64Header::WriteReserve(out) && out.CreateChunk(fmtChunk, false) &&
            out.Write(fmt, sizeof fmt) == sizeof fmt && out.CreateChunk(factChunk, false) &&
            out.Write(fact, sizeof fact) == sizeof fact;
  if (ok) {
    const wave::Bext source = ExportBext(info);
    // An even size: libsndfile's RF64 reader steps over no pad byte after a bext.
    const std::vector<unsigned char> bext =
        wave::EncodeBext(source, (source.codingHistory.size() + 1) & ~std::size_t{1});
    RiffChunk chunk{wave::kBextId, static_cast<uint32_t>(bext.size())};
    ok = out.CreateChunk(chunk, false) && out.Write(bext.data(), bext.size()) == bext.size() && out.Ascend(chunk);
  }
  return ok && out.CreateChunk(data, false);
}

bool WriteFloatWave(RiffFile& in, const WaveInfo& info, RiffFile& out, uint64_t limit) {
  RiffChunk riff, data;
  if (!WriteFloatHeader(info, out, riff, data)) return false;
  Output o(out);
  SampleBlocks blocks(in, info);
  const double unitsPerCode = info.scale.UnitsPerCode();
  for (const std::vector<double>* codes = &blocks.Next(); !codes->empty(); codes = &blocks.Next()) {
    for (double code : *codes) {
      const auto value = static_cast<float>(code * unitsPerCode);
      o.Put(&value, sizeof value);
    }
  }
  if (blocks.Failed() || !o.Flush()) return false;
  const uint64_t bytes = info.frames * 4 * info.Channels();
  wave::Rf64Header sizes(limit, wave::kReserveOffset, std::nullopt);
  return sizes.WriteDataSize(out, riff, data, bytes, info.frames) &&
         sizes.WriteRiffSize(out, riff, sizes.DataEnd(data) - riff.dataOffset);
}

}  // namespace

bool ExportSamples(RiffFile& in, const WaveInfo& info, const ExportRequest& request, std::string& error) {
  RiffFile out;
  if (!out.Open(request.out, RiffFile::Mode::kCreate)) {
    error = "cannot make " + request.out;
    return false;
  }
  const bool ok =
      request.kind == ExportKind::kCsv ? WriteCsv(in, info, out) : WriteFloatWave(in, info, out, request.riffSizeLimit);
  if (out.Close() && ok) return true;
  platform::DeleteFile(request.out);
  error = "cannot write " + request.out;
  return false;
}

}  // namespace varnel::info
