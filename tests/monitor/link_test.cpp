// The monitor's end of the conversation: what it understands, and what it
// refuses from a hostile peer without falling over.

#include <gtest/gtest.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>

#include "MonitorTestSupport.h"
#include "monitor/LinkScreen.h"
#include "monitor/MonitorModel.h"
#include "monitor/MonitorServer.h"
#include "transport/dbus/DbusNames.h"
#include "transport/dbus/DbusTransport.h"
#include "transport/dbus/SdBus.h"

namespace varnel::monitor {
namespace {

std::vector<uint8_t> Text(const std::string& text, bool nul = true) {
  std::vector<uint8_t> bytes(text.begin(), text.end());
  if (nul) bytes.push_back(0);
  return bytes;
}

peer::Transaction Of(peer::Kind kind, const char* item, std::vector<uint8_t> bytes) {
  peer::Transaction t;
  t.kind = kind;
  t.item = item;
  t.bytes = std::move(bytes);
  return t;
}

TEST(LinkScreen, CommandsAreUnderstoodWithoutRegardToCaseOrSpaces) {
  struct Case {
    std::string text;
    bool known;
    CommandKind kind;
    int64_t value;
  };
  const Case cases[] = {
      {"[Stop]", true, CommandKind::Stop, 0},
      {"[FILE CLOSE]", true, CommandKind::FileClose, 0},
      {"[Mode Real Time]", true, CommandKind::RealTime, 0},
      {"[Set Sampling Rate 44100]", true, CommandKind::SamplingRate, 44100},
      {" [set sampling rate  20000 ] ", true, CommandKind::SamplingRate, 20000},
      {"[Set Sampling Precision 16]", true, CommandKind::SamplingPrecision, 16},
      {"[Set Sampling Rate 0]", false, {}, 0},
      {"[Set Sampling Rate -5]", false, {}, 0},
      {"[Set Sampling Rate 12x]", false, {}, 0},
      {"[Set Sampling Rate 99999999999999]", false, {}, 0},
      {"[Set Sampling Precision 64]", false, {}, 0},
      {"[Launch]", false, {}, 0},
      {"Stop", false, {}, 0},
      {"", false, {}, 0},
  };
  for (const Case& c : cases) {
    auto command = ParseCommand(Text(c.text));
    ASSERT_EQ(c.known, command.has_value()) << c.text;
    if (!command) {
      EXPECT_NE("", Screen(Of(peer::Kind::Execute, "", Text(c.text)))) << c.text;
      continue;
    }
    EXPECT_EQ(c.kind, command->kind) << c.text;
    EXPECT_EQ(c.value, command->value) << c.text;
  }
  // The text ends at the first NUL; a missing terminator is forgiven.
  EXPECT_TRUE(ParseCommand(Text("[Stop]\0junk", true)));
  EXPECT_TRUE(ParseCommand(Text("[Stop]", false)));
}

std::vector<uint8_t> CalibrationBytes(const ChannelCalibration& left, const ChannelCalibration& right) {
  CalibrationRecord record{};
  record.Left = left;
  record.Right = right;
  std::vector<uint8_t> bytes(sizeof record);
  std::memcpy(bytes.data(), &record, sizeof record);
  return bytes;
}

TEST(LinkScreen, PayloadsOfTheWrongSizeAndNonsenseCalibrationsAreRefused) {
  const ChannelCalibration mic = test::Microphone(50.0f);
  auto with = [&](auto change) {
    ChannelCalibration c = mic;
    change(c);
    return c;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    const char* what;
    const char* item;
    std::vector<uint8_t> bytes;
    bool accepted;
  };
  const Case cases[] = {
      {"calibration", "CalibrationData", CalibrationBytes(mic, mic), true},
      {"item case", "calibrationdata", CalibrationBytes(mic, mic), true},
      {"uncalibrated halves", "CalibrationData", CalibrationBytes({}, {}), true},
      {"short calibration", "CalibrationData", std::vector<uint8_t>(2047), false},
      {"long calibration", "CalibrationData", std::vector<uint8_t>(2049), false},
      {"zero ratio", "CalibrationData", CalibrationBytes(mic, with([](auto& c) { c.CalRatio = 0; })), false},
      {"zero share", "CalibrationData", CalibrationBytes(with([](auto& c) { c.PctFullScale = 0; }), mic), false},
      {"NaN ratio", "CalibrationData", CalibrationBytes(with([&](auto& c) { c.CalRatio = nan; }), mic), false},
      {"infinite share", "CalibrationData", CalibrationBytes(mic, with([&](auto& c) { c.PctFullScale = inf; })), false},
      {"NaN reference", "CalibrationData", CalibrationBytes(mic, with([&](auto& c) { c.RefLevel = nan; })), false},
      {"zero reference", "CalibrationData", CalibrationBytes(mic, with([](auto& c) { c.RefLevel = 0; })), false},
      {"overflowing product", "CalibrationData",
       CalibrationBytes(mic, with([](auto& c) { c.PctFullScale = c.CalRatio = 3e38f; })), true},
      {"block", "TimeSeriesData", std::vector<uint8_t>(4 * 8192), true},
      {"odd length block", "TimeSeriesData", std::vector<uint8_t>(4 * 12345), true},
      {"half a frame", "TimeSeriesData", std::vector<uint8_t>(4 * 8192 + 2), false},
      {"one frame", "TimeSeriesData", std::vector<uint8_t>(4), false},
      {"empty block", "TimeSeriesData", {}, false},
      {"unknown item", "WaveData", std::vector<uint8_t>(16), false},
  };
  for (const Case& c : cases) {
    const std::string why = Screen(Of(peer::Kind::Poke, c.item, c.bytes));
    EXPECT_EQ(c.accepted, why.empty()) << c.what << ": " << why;
  }
}

// A client that pokes slices as it likes, through its own connection.
class RawClient {
 public:
  explicit RawClient(const std::string& busName) : bus_(transport::dbus::OpenUserBus()), name_(busName) {}
  // The error name of the reply, empty for success.
  std::string Poke(const char* item, uint32_t offset, uint32_t total, const std::vector<uint8_t>& slice) {
    sd_bus_message* call = nullptr;
    sd_bus_message_new_method_call(bus_.get(), &call, name_.c_str(), "/org/varnel/dde/data", "org.varnel.Dde", "Poke");
    transport::dbus::MessagePtr owned(call);
    sd_bus_message_append(call, "suu", item, offset, total);
    sd_bus_message_append_array(call, 'y', slice.data(), slice.size());
    transport::dbus::BusError error;
    sd_bus_message* reply = nullptr;
    sd_bus_call(bus_.get(), call, 2000000, error.Get(), &reply);
    transport::dbus::MessagePtr ownedReply(reply);
    return error.Name();
  }

 private:
  transport::dbus::BusPtr bus_;
  std::string name_;
};

class MonitorLink : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DBUS_SESSION_BUS_ADDRESS")) GTEST_SKIP() << "no session bus; run under dbus-run-session";
    static std::atomic<int> next{0};
    name_ = "MonitorLink" + std::to_string(::getpid()) + "_" + std::to_string(next++);
    server_ = std::make_unique<MonitorServer>(name_, 4096);
    server_->SetWake([this] { wakes_++; });
    std::string error;
    ASSERT_TRUE(server_->Start(&error)) << error;
  }
  // Everything that arrived, applied to a model.
  Mail Drain(MonitorModel& model) {
    Mail mail;
    server_->Take(mail);
    for (const auto& e : mail.events) model.Apply(e);
    if (mail.hasBlock) model.AddBlock(mail.block);
    return mail;
  }

  std::string name_;
  std::unique_ptr<MonitorServer> server_;
  std::atomic<int> wakes_{0};
};

TEST_F(MonitorLink, HostilePokesAreRefusedWithTheDocumentedErrorAndNothingBreaks) {
  RawClient client(transport::dbus::ServiceBusName(name_));
  const std::string refused = "org.varnel.Dde.Error.NotProcessed";
  const std::vector<uint8_t> half(1024, 0);
  struct Step {
    const char* item;
    uint32_t offset;
    uint32_t total;
    std::size_t size;
    bool accepted;
  };
  const Step steps[] = {
      {"CalibrationData", 0, 2048, 1024, true},      // first half of two
      {"CalibrationData", 1536, 2048, 512, false},   // a gap
      {"CalibrationData", 1024, 2048, 1024, false},  // the poke was dropped: no offset 0 since
      {"CalibrationData", 0, 2048, 1024, true},
      {"CalibrationData", 1024, 4096, 1024, false},  // the total changed
      {"CalibrationData", 0, 1000, 1024, false},     // more than the total
      {"TimeSeriesData", 0, 8, 6, true},
      {"TimeSeriesData", 6, 8, 4, false},           // beyond the end
      {"TimeSeriesData", 0, 100u << 20, 4, false},  // larger than any block
      {"TimeSeriesData", 0, 10, 10, false},         // not whole frames
  };
  for (const Step& s : steps) {
    EXPECT_EQ(s.accepted ? "" : refused, client.Poke(s.item, s.offset, s.total, std::vector<uint8_t>(s.size)))
        << s.item << " " << s.offset << "/" << s.total;
  }
  // A calibration in two good slices goes through; NaN in one does not.
  ChannelCalibration bad = test::Microphone(50.0f);
  bad.CalRatio = std::numeric_limits<float>::quiet_NaN();
  const auto good = CalibrationBytes(test::Microphone(50.0f), test::Accelerometer(10.0f));
  const auto nan = CalibrationBytes(bad, bad);
  EXPECT_EQ("", client.Poke("CalibrationData", 0, 2048, {good.begin(), good.begin() + 1000}));
  EXPECT_EQ("", client.Poke("CalibrationData", 1000, 2048, {good.begin() + 1000, good.end()}));
  EXPECT_EQ(refused, client.Poke("CalibrationData", 0, 2048, nan));

  MonitorModel model;
  Mail mail = Drain(model);
  EXPECT_EQ(8u, model.Refusals());
  EXPECT_NE(std::string::npos, model.LastRefusal().find("Left calibration with a number that is not finite"))
      << model.LastRefusal();
  EXPECT_EQ("Mic", model.Channel(0).scale.name);
  EXPECT_EQ("Acceleration (G dB)", model.Channel(1).scale.logUnits);
  EXPECT_GE(wakes_.load(), 1);
  // Still serving after all that.
  auto transport = MakeDbusTransport();
  ASSERT_TRUE(transport->Initialize());
  ASSERT_EQ(TransportError::None, transport->Connect(name_, "Data", 1000));
  std::string text;
  EXPECT_EQ(TransportError::None, transport->Request("FFT Size", text, 1000));
  EXPECT_STREQ("4096", text.c_str());
}

TEST_F(MonitorLink, TheRecordersConversationReachesTheModel) {
  auto transport = MakeDbusTransport();
  ASSERT_TRUE(transport->Initialize());
  ASSERT_EQ(TransportError::None, transport->Connect(name_, "Data", 1000));
  for (const char* command :
       {"[Stop]", "[File Close]", "[Mode Real Time]", "[Set Sampling Rate 8192]", "[Set Sampling Precision 16]"}) {
    const auto bytes = Text(command);
    EXPECT_EQ(TransportError::None, transport->Execute(bytes, 1000)) << command;
  }
  EXPECT_EQ(TransportError::Refused, transport->Execute(Text("[Format Disk]"), 1000));
  server_->SetFftSize(2048);
  std::string text;
  ASSERT_EQ(TransportError::None, transport->Request("fft size", text, 1000));
  EXPECT_STREQ("2048", text.c_str());
  const auto calibration = CalibrationBytes(test::Microphone(50.0f), ChannelCalibration{});
  EXPECT_EQ(TransportError::None, transport->Poke("CalibrationData", calibration, 1000));

  // Two blocks before the model looks: only the newer is shown.
  for (double hz : {500.0, 1000.0}) {
    const auto left = test::Sine(2048, 8192.0, hz, 231.7 * 10);
    const auto right = test::Sine(2048, 8192.0, 2 * hz, 16384.0);
    std::vector<uint8_t> bytes(2048 * 4);
    for (std::size_t f = 0; f < 2048; ++f) {
      std::memcpy(&bytes[4 * f], &left[f], 2);
      std::memcpy(&bytes[4 * f + 2], &right[f], 2);
    }
    EXPECT_EQ(TransportError::None, transport->Poke("TimeSeriesData", bytes, 1000));
  }
  MonitorModel model;
  Mail mail = Drain(model);
  EXPECT_EQ(1u, mail.skippedBlocks);
  EXPECT_EQ(1u, model.Blocks());
  EXPECT_EQ(8192.0, model.SamplingRate());
  EXPECT_EQ(" real time, 8192 Hz, 16 bits, blocks of 2048, 1 received", model.StatusLine());
  EXPECT_NE(std::string::npos, model.LastRefusal().find("unknown command \"[Format Disk]\"")) << model.LastRefusal();
  EXPECT_NEAR(1000.0, model.Channel(0).peak.frequency, 0.01);
  EXPECT_NEAR(20 * std::log10(10.0 / 20e-6), model.Channel(0).peak.decibels, 0.1);
  EXPECT_EQ("Mic: peak 1000.0 Hz, 114.0 SPL (dB re 20uPA)", model.PeakText(0));
  EXPECT_EQ("Right: peak 2000.0 Hz, -6.0 dB re full scale", model.PeakText(1));
  EXPECT_EQ(2048u, model.Channel(1).waveform.size());
}

// A sender that begins pokes and never finishes them, under names the
// monitor does not know or of sizes its items cannot have, leaves nothing
// behind; of its two items it keeps one unfinished poke each.
TEST_F(MonitorLink, UnfinishedPokesAreBoundedAndUnknownOrOverlongNamesRefusedAtOnce) {
  RawClient client(transport::dbus::ServiceBusName(name_));
  const std::string refused = "org.varnel.Dde.Error.NotProcessed";
  const std::vector<uint8_t> slice(1 << 20, 7);
  constexpr uint32_t kAnnounced = 60u << 20;
  for (int i = 0; i < 8; ++i) {
    const std::string item = "Item" + std::to_string(i);
    EXPECT_EQ(refused, client.Poke(item.c_str(), 0, kAnnounced, slice)) << item;
  }
  EXPECT_EQ(refused, client.Poke("CalibrationData", 0, kAnnounced, slice)) << "no calibration is that long";
  EXPECT_EQ(0u, server_->UnfinishedPokeBytes());
  for (int i = 0; i < 3; ++i) EXPECT_EQ("", client.Poke("TimeSeriesData", 0, kAnnounced, slice));
  EXPECT_EQ("", client.Poke("CalibrationData", 0, 2048, std::vector<uint8_t>(1024)));
  EXPECT_EQ(2u, server_->UnfinishedPokes());
  EXPECT_LE(server_->UnfinishedPokeBytes(), 2 * slice.size());

  const std::string longName(8 << 20, 'x');
  EXPECT_EQ(refused, client.Poke(longName.c_str(), 0, 8, std::vector<uint8_t>(8)));
  MonitorModel model;
  Drain(model);
  EXPECT_EQ(10u, model.Refusals());
  EXPECT_EQ("item refused: item name of 8388608 bytes, longer than 64", model.LastRefusal());
}

// The peer a person runs beside a recording for hours (orvantis-peer keeps
// the payloads of its last 8 transactions): every transaction is kept with
// the size and checksum of its payload, only the newest keep the payload.
TEST_F(MonitorLink, APeerKeepsThePayloadsOfItsLastTransactionsOnly) {
  const std::string name = name_ + "_peer";
  peer::AnalyzerPeer analyser({.serverName = name, .keptPayloads = 8});
  std::string error;
  ASSERT_TRUE(analyser.Start(&error)) << error;
  auto transport = MakeDbusTransport();
  ASSERT_TRUE(transport->Initialize());
  ASSERT_EQ(TransportError::None, transport->Connect(name, "Data", 1000));
  std::vector<std::vector<uint8_t>> sent;
  for (int i = 0; i < 30; ++i) {
    sent.emplace_back(65536, static_cast<uint8_t>(i));
    ASSERT_EQ(TransportError::None, transport->Poke("TimeSeriesData", sent.back(), 1000));
  }
  const auto kept = analyser.Transactions();
  ASSERT_EQ(30u, kept.size());
  for (int i = 0; i < 30; ++i) {
    EXPECT_EQ(65536u, kept[i].size);
    EXPECT_EQ(peer::Fnv1a(sent[i]), kept[i].checksum);
    EXPECT_EQ(i >= 22 ? sent[i] : std::vector<uint8_t>{}, kept[i].bytes) << i;
  }
  EXPECT_EQ(8u * 65536, analyser.KeptPayloadBytes());

  // Pokes begun under many names, never finished: the oldest goes.
  RawClient client(transport::dbus::ServiceBusName(name));
  const std::vector<uint8_t> slice(1 << 20, 1);
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ("", client.Poke(("Item" + std::to_string(i)).c_str(), 0, 60u << 20, slice)) << i;
  EXPECT_EQ(4u, analyser.UnfinishedPokes());
  EXPECT_LE(analyser.UnfinishedPokeBytes(), 4 * slice.size());
  EXPECT_EQ("org.varnel.Dde.Error.NotProcessed", client.Poke("Item0", 1 << 20, 60u << 20, slice));
  EXPECT_EQ("", client.Poke("Item7", 1 << 20, 60u << 20, slice));
  const auto refusals = analyser.Of(peer::Kind::Poke, "Item0");
  ASSERT_EQ(1u, refusals.size());
  EXPECT_EQ("poke slice out of order", refusals[0].refusal);
}

// A block far longer than any FFT size (the recorder's largest, of a length
// whose transform would take half a minute) is shown and analysed by its
// newest frames.
TEST(MonitorModelBlocks, ABlockOverTheLargestFftSizeIsAnalysedByItsNewestFrames) {
  constexpr std::size_t kFrames = 16777213;
  constexpr std::size_t kNewest = kFftSizes.back();
  constexpr double kRate = 48000.0;
  std::vector<int16_t> block(2 * kFrames);
  for (std::size_t f = 0; f < kFrames - kNewest; ++f) block[2 * f] = (f / 40) % 2 ? 20000 : -20000;  // 600 Hz square
  const auto sine = test::Sine(kNewest, kRate, 1500.0, 8000.0);
  for (std::size_t f = 0; f < kNewest; ++f) block[2 * (kFrames - kNewest + f)] = sine[f];
  MonitorModel model;
  model.Apply(LinkEvent{EventKind::Command, Command{CommandKind::SamplingRate, 48000}, {}, {}});
  model.AddBlock(block);
  const ChannelView& left = model.Channel(0);
  EXPECT_EQ(kNewest, left.spectrum.Length());
  EXPECT_EQ(kNewest, left.waveform.size());
  EXPECT_EQ(sine.front(), left.waveform.front());
  EXPECT_NEAR(1500.0, left.peak.frequency, 1.0);
  EXPECT_NE(std::string::npos, model.StatusLine().find("blocks of 16777213")) << model.StatusLine();
}

}  // namespace
}  // namespace varnel::monitor
