#include "transport/ddeml/DdemlTransport.h"

// clang-format off
#include <windows.h>
#include <ddeml.h>
// clang-format on

#include <algorithm>
#include <map>
#include <string>

namespace varnel {
namespace {

TransportError Code(UINT dmlError) {
  return static_cast<TransportError>(dmlError);
}

// Accepts every call and serves nothing: the recorder is a client only and
// takes no notice of the analyser ending the conversation.
HDDEDATA CALLBACK DdeCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
  return nullptr;
}

class DdemlTransport final : public AnalyzerTransport {
 public:
  DdemlTransport() = default;
  ~DdemlTransport() override { Uninitialize(); }

  bool Initialize() override {
    if (instance_) return true;
    DWORD instance = 0;
    if (DdeInitializeA(&instance, DdeCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) return false;
    instance_ = instance;
    return instance_ != 0;
  }

  // DdeConnect has no time-out of its own: servers answer the broadcast at once.
  TransportError Connect(std::string_view service, std::string_view topic, uint32_t) override {
    if (!instance_) return Code(DMLERR_DLL_NOT_INITIALIZED);
    EndConversation();
    HSZ serviceName = Handle(service);
    HSZ topicName = Handle(topic);
    if (!serviceName || !topicName) return LastError(DMLERR_INVALIDPARAMETER);
    conversation_ = DdeConnect(instance_, serviceName, topicName, nullptr);
    // Windows says DMLERR_NO_CONV_ESTABLISHED here; a failure never reads as 0.
    return conversation_ ? TransportError::None : LastError(DMLERR_NO_CONV_ESTABLISHED);
  }

  bool Connected() const override { return conversation_ != nullptr; }

  TransportError Execute(std::span<const uint8_t> command, uint32_t timeoutMs) override {
    return Transact(command, nullptr, XTYP_EXECUTE, timeoutMs, nullptr);
  }

  TransportError Request(std::string_view item, std::string& text, uint32_t timeoutMs) override {
    text.clear();
    if (!instance_) return Code(DMLERR_DLL_NOT_INITIALIZED);
    HSZ name = Handle(item);
    if (!name) return LastError(DMLERR_INVALIDPARAMETER);
    return Transact({}, name, XTYP_REQUEST, timeoutMs, &text);
  }

  TransportError Poke(std::string_view item, std::span<const uint8_t> payload, uint32_t timeoutMs) override {
    if (!instance_) return Code(DMLERR_DLL_NOT_INITIALIZED);
    if (payload.size() > UINT32_MAX - 16) return Code(DMLERR_MEMORY_ERROR);
    HSZ name = Handle(item);
    if (!name) return LastError(DMLERR_INVALIDPARAMETER);
    return Transact(payload, name, XTYP_POKE, timeoutMs, nullptr);
  }

  void DisconnectConversation() override { EndConversation(); }

  int Uninitialize() override {
    if (!instance_) return 1;
    EndConversation();
    for (auto& [name, handle] : handles_) DdeFreeStringHandle(instance_, handle);
    handles_.clear();
    const BOOL done = DdeUninitialize(instance_);
    instance_ = 0;
    return done ? 1 : 0;
  }

 private:
  TransportError LastError(UINT fallback) const {
    const UINT code = instance_ ? DdeGetLastError(instance_) : 0;
    return Code(code != DMLERR_NO_ERROR ? code : fallback);
  }

  // One string handle per name for the life of the instance.
  HSZ Handle(std::string_view name) {
    const std::string key(name);
    if (auto it = handles_.find(key); it != handles_.end()) return it->second;
    HSZ handle = DdeCreateStringHandleA(instance_, key.c_str(), CP_WINANSI);
    if (handle) handles_.emplace(key, handle);
    return handle;
  }

  void EndConversation() {
    if (!conversation_) return;
    HCONV conversation = conversation_;
    conversation_ = nullptr;
    DdeDisconnect(conversation);
  }

  // Synchronous: DDEML waits for the answer or the time-out and dispatches the
  // thread's window messages meanwhile (on Windows; Wine's wait takes only
  // DDE's own), so handlers can run inside this call.
  TransportError Transact(std::span<const uint8_t> data, HSZ item, UINT type, uint32_t timeoutMs, std::string* answer) {
    if (!instance_) return Code(DMLERR_DLL_NOT_INITIALIZED);
    if (!conversation_) return Code(DMLERR_NO_CONV_ESTABLISHED);
    auto* bytes = const_cast<LPBYTE>(reinterpret_cast<const BYTE*>(data.data()));
    DWORD status = 0;
    HDDEDATA result =
        DdeClientTransaction(data.empty() ? nullptr : bytes, static_cast<DWORD>(data.size()), conversation_, item,
                             CF_TEXT, type, std::max<uint32_t>(timeoutMs, 1), &status);
    // A handler run inside the wait may have closed the instance.
    if (!result) return LastError(DMLERR_NOTPROCESSED);
    // The acknowledgement's own flag decides too: Wine's DDEML reports a
    // negative one to a poke as success.
    if (type != XTYP_REQUEST && !(LOWORD(status) & DDE_FACK)) return Code(DMLERR_NOTPROCESSED);
    if (answer && instance_) {
      const DWORD size = DdeGetData(result, nullptr, 0, 0);
      answer->resize(size);
      if (size) DdeGetData(result, reinterpret_cast<LPBYTE>(answer->data()), size, 0);
      DdeFreeDataHandle(result);
    }
    return TransportError::None;
  }

  DWORD instance_ = 0;
  HCONV conversation_ = nullptr;
  std::map<std::string, HSZ> handles_;
};

}  // namespace

std::unique_ptr<AnalyzerTransport> MakeDdemlTransport() {
  return std::make_unique<DdemlTransport>();
}

}  // namespace varnel
