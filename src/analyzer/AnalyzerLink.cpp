#include "analyzer/AnalyzerLink.h"

#include <algorithm>
#include <cstring>

#include "analyzer/LinkState.h"
#include "platform/Profile.h"
#include "platform/Trace.h"
#include "ui/UiServices.h"

namespace varnel {
namespace {

constexpr const char* kCaption = "Tessaline";
constexpr const char* kTopicName = "Data";
// A name the analyser could never serve gets no handle, like an empty one.
constexpr std::size_t kMaxStringHandleLength = 255;

StringHandle CreateStringHandle(std::string_view name) {
  if (name.empty() || name.size() > kMaxStringHandleLength) return {};
  return StringHandle(name);
}

}  // namespace

uint32_t& PokeCounter() {
  static uint32_t counter = 0;
  return counter;
}

int32_t ParseFftSize(const std::string& text) {
  return platform::ParseProfileInt(text, 0);
}

uint32_t RefreshTimerPeriod(int32_t fftSize) {
  if (fftSize >= 262144) return 2000;
  if (fftSize >= 65535) return 250;
  if (fftSize >= 16384) return 100;
  return 50;
}

AnalyzerLink::AnalyzerLink(AnalyzerLinkContext context, std::unique_ptr<AnalyzerTransport> transport)
    : context_(std::move(context)), transport_(std::move(transport)), state_(std::make_unique<State>()) {}

AnalyzerLink::~AnalyzerLink() {
  Disconnect();
}

bool AnalyzerLink::Connect() {
  State& s = *state_;
  // A link left over from an earlier attempt is closed before starting afresh.
  Disconnect();
  s.instance = 0;
  s.conversation = false;
  s.PokeInProgress = 0;
  s.calibrationFailures = 0;
  s.marker = true;

  const std::string serverName =
      platform::ReadProfileString(context_.analyzerSettingsPath, "DDE", "ServerName", "Orvantis", kServerNameSize);
  // No analyser wanted: no bus either, so a machine without one records.
  if (CreateStringHandle(serverName).empty()) return true;

  if (!transport_ || !transport_->Initialize()) {
    // No session bus (cron, ssh, a service) is an analyser that does not
    // answer: the user decides, as for one that is absent.
    s.lastError = TransportError::NotInitialised;
    platform::Trace("DdeInitialize failed: the session bus cannot be reached\n");
  } else {
    s.instance = 1;
    s.service = CreateStringHandle(serverName);
    s.topic = CreateStringHandle(kTopicName);
    s.timeSeriesItem = CreateStringHandle("TimeSeriesData");
    s.calibrationItem = CreateStringHandle("CalibrationData");
    s.waveItem = CreateStringHandle("WaveData");
    s.lastError = transport_->Connect(s.service, s.topic, kConnectTimeoutMs);
    if (s.lastError == TransportError::None) {
      s.conversation = true;
      return true;
    }
  }
  platform::Trace("DDEML Error code = %d\r", static_cast<int>(s.lastError));
  ui::DialogResult answer = ui::DialogResult::No;
  if (context_.ui)
    answer =
        context_.ui->MessageBox("Failure establishing a DDE link to Orvanta for channel monitoring.  Continue anyway?",
                                kCaption, ui::mb::kYesNo);
  if (answer == ui::DialogResult::Yes) return true;
  // Nothing of an abandoned Run should stay open until the next one.
  Disconnect();
  return false;
}

void AnalyzerLink::Execute(const char* command) {
  State& s = *state_;
  if (!s.Linked() || !command) return;
  const auto* bytes = reinterpret_cast<const uint8_t*>(command);
  // A refused or late command does not stop the Run.
  s.lastError = transport_->Execute(std::span<const uint8_t>(bytes, std::strlen(command) + 1), kExecuteTimeoutMs);
}

bool AnalyzerLink::RequestItem(const char* item, char* buffer, std::size_t size) {
  State& s = *state_;
  if (!s.Linked()) return false;
  const StringHandle name = CreateStringHandle(item ? std::string_view(item) : std::string_view());
  if (name.empty() || !buffer || size == 0) return false;
  std::string data;
  s.lastError = transport_->Request(name, data, kRequestTimeoutMs);
  if (s.lastError != TransportError::None || data.empty()) return false;
  // The last byte is the terminator's place, whatever the analyser put there;
  // the text ends at the first NUL and is cut to the caller's buffer.
  std::string_view text(data.data(), data.size() - 1);
  text = text.substr(0, std::min(text.find('\0'), size - 1));
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
  return true;
}

void AnalyzerLink::PrepareAnalyzer() {
  if (!context_.settings) return;
  RecorderSettings& settings = *context_.settings;
  char command[64];
  Execute("[Stop]");
  Execute("[File Close]");
  Execute("[Mode Real Time]");
  std::snprintf(command, sizeof command, "[Set Sampling Rate %d]", settings.SamplingRate);
  Execute(command);
  std::snprintf(command, sizeof command, "[Set Sampling Precision %d]", 16);
  Execute(command);

  const int32_t oldSize = settings.FftSize;
  char answer[kFftAnswerSize] = {};
  if (RequestItem("FFT Size", answer, sizeof answer)) {
    const int32_t size = ParseFftSize(answer);
    settings.FftSize = size > 0 && size <= kMaxFftSize ? size : oldSize;
  }
}

int AnalyzerLink::Disconnect() {
  State& s = *state_;
  if (s.instance == 0 || !s.marker) return 0;
  s.PokeInProgress = 0;
  if (s.conversation) {
    transport_->DisconnectConversation();
    s.conversation = false;
  }
  for (StringHandle* handle : {&s.service, &s.topic, &s.timeSeriesItem, &s.calibrationItem, &s.waveItem})
    handle->clear();
  s.timeSeriesData.reset();
  s.calibrationData.reset();
  const int result = transport_->Uninitialize();
  s.instance = 0;
  s.marker = false;
  return result;
}

}  // namespace varnel
