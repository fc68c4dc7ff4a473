#include "DdeServer.h"

// clang-format off
#include <windows.h>
#include <dde.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <map>

namespace varnel::peer {
namespace {

constexpr const char* kListenerClass = "VarnelDdePeerListener";
constexpr const char* kConversationClass = "VarnelDdePeerConversation";

// Each DDE transaction arrives in one message.
Transaction Received(Kind kind, std::string item, std::vector<uint8_t> bytes, bool accepted) {
  Transaction t;
  t.kind = kind;
  t.item = std::move(item);
  t.bytes = std::move(bytes);
  t.accepted = accepted;
  return t;
}
constexpr WORD kAck = 0x8000;  // DDEACK.fAck
constexpr WORD kNack = 0;
constexpr std::size_t kHeaderBytes = offsetof(DDEPOKE, Value);
static_assert(offsetof(DDEDATA, Value) == kHeaderBytes);

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Service, topic and item names match without regard to ASCII case.
bool SameName(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string AtomName(ATOM atom) {
  char name[256] = {};
  const UINT length = atom ? GlobalGetAtomNameA(atom, name, sizeof name) : 0;
  return std::string(name, length);
}

// The bytes of a global block after its DDE header.
std::vector<uint8_t> BlockBytes(HGLOBAL block, std::size_t header) {
  std::vector<uint8_t> bytes;
  const SIZE_T size = block ? GlobalSize(block) : 0;
  const auto* data = static_cast<const uint8_t*>(block ? GlobalLock(block) : nullptr);
  if (!data) return bytes;
  if (size > header) bytes.assign(data + header, data + size);
  GlobalUnlock(block);
  return bytes;
}

// A command is its text and the NUL that ends it; a block may be rounded up beyond.
std::vector<uint8_t> CommandBytes(HGLOBAL block) {
  std::vector<uint8_t> bytes = BlockBytes(block, 0);
  const auto nul = std::find(bytes.begin(), bytes.end(), uint8_t{0});
  if (nul != bytes.end()) bytes.erase(nul + 1, bytes.end());
  return bytes;
}

// WM_DDE_DATA's block for a request's answer: text, NUL, released by the client, no ACK wanted.
HGLOBAL AnswerBlock(const std::vector<uint8_t>& bytes) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE | GMEM_ZEROINIT, kHeaderBytes + bytes.size());
  auto* data = static_cast<DDEDATA*>(block ? GlobalLock(block) : nullptr);
  if (!data) {
    if (block) GlobalFree(block);
    return nullptr;
  }
  data->fResponse = 1;
  data->fRelease = 1;
  data->fAckReq = 0;
  data->cfFormat = CF_TEXT;
  std::memcpy(data->Value, bytes.data(), bytes.size());
  GlobalUnlock(block);
  return block;
}

}  // namespace

struct DdeServer::Impl {
  struct Held {
    ULONGLONG due;
    HWND to;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  };

  DdeServer& server;
  HWND listener = nullptr;
  std::map<HWND, HWND> clients;  // conversation window -> the client's window
  std::vector<Held> held;

  explicit Impl(DdeServer& owner) : server(owner) {}

  static Impl* Of(HWND window) { return reinterpret_cast<Impl*>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

  // Posts the answer now, or keeps it until the configured delay has passed.
  void Answer(HWND to, UINT message, HWND from, LPARAM lParam) {
    const uint32_t delay = server.Options().replyDelayMs;
    if (delay == 0) {
      if (!PostMessageA(to, message, reinterpret_cast<WPARAM>(from), lParam)) FreeDDElParam(message, lParam);
      return;
    }
    held.push_back({GetTickCount64() + delay, to, message, reinterpret_cast<WPARAM>(from), lParam});
  }

  void PostDue() {
    const ULONGLONG now = GetTickCount64();
    auto due = std::stable_partition(held.begin(), held.end(), [&](const Held& h) { return h.due > now; });
    for (auto it = due; it != held.end(); ++it)
      if (!PostMessageA(it->to, it->message, it->wParam, it->lParam)) FreeDDElParam(it->message, it->lParam);
    held.erase(due, held.end());
  }

  DWORD WaitMs() const {
    if (held.empty()) return INFINITE;
    const ULONGLONG now = GetTickCount64();
    ULONGLONG next = held.front().due;
    for (const Held& h : held) next = std::min(next, h.due);
    return next > now ? static_cast<DWORD>(next - now) : 0;
  }

  // A client asks who serves its service and topic; an empty name asks for any.
  void OnInitiate(HWND client, ATOM service, ATOM topic) {
    const PeerOptions options = server.Options();
    if (service && !SameName(AtomName(service), options.serverName)) return;
    if (topic && !SameName(AtomName(topic), options.topic)) return;
    HWND conversation = CreateWindowExA(0, kConversationClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        GetModuleHandleA(nullptr), nullptr);
    if (!conversation) return;
    SetWindowLongPtrA(conversation, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    clients[conversation] = client;
    // Fresh atoms: the client deletes the ones it is given.
    SendMessageA(client, WM_DDE_ACK, reinterpret_cast<WPARAM>(conversation),
                 MAKELPARAM(GlobalAddAtomA(options.serverName.c_str()), GlobalAddAtomA(options.topic.c_str())));
  }

  void OnExecute(HWND conversation, HWND client, LPARAM lParam) {
    auto commands = reinterpret_cast<HGLOBAL>(lParam);
    Transaction t = Received(Kind::Execute, {}, CommandBytes(commands), !server.Options().refuseCommands);
    const bool accepted = t.accepted;
    server.Record(std::move(t));
    // The block stays the client's; the acknowledgement hands it back.
    Answer(client, WM_DDE_ACK, conversation,
           PackDDElParam(WM_DDE_ACK, accepted ? kAck : kNack, reinterpret_cast<UINT_PTR>(commands)));
  }

  void OnRequest(HWND conversation, HWND client, LPARAM lParam) {
    UINT_PTR format = 0;
    UINT_PTR atom = 0;
    UnpackDDElParam(WM_DDE_REQUEST, lParam, &format, &atom);
    FreeDDElParam(WM_DDE_REQUEST, lParam);
    const PeerOptions options = server.Options();
    Transaction t = Received(Kind::Request, AtomName(static_cast<ATOM>(atom)), {}, false);
    t.accepted = SameName(t.item, "FFT Size") && !options.refuseFft && format == CF_TEXT;
    HGLOBAL answer = nullptr;
    if (t.accepted) {
      t.bytes.assign(options.fftAnswer.begin(), options.fftAnswer.end());
      t.bytes.push_back(0);
      answer = AnswerBlock(t.bytes);
      t.accepted = answer != nullptr;
    }
    if (!t.accepted) t.bytes.clear();
    server.Record(std::move(t));
    // The request's item atom travels on with the answer; the client deletes it.
    if (answer)
      Answer(client, WM_DDE_DATA, conversation, PackDDElParam(WM_DDE_DATA, reinterpret_cast<UINT_PTR>(answer), atom));
    else
      Answer(client, WM_DDE_ACK, conversation, PackDDElParam(WM_DDE_ACK, kNack, atom));
  }

  void OnPoke(HWND conversation, HWND client, LPARAM lParam) {
    UINT_PTR handle = 0;
    UINT_PTR atom = 0;
    UnpackDDElParam(WM_DDE_POKE, lParam, &handle, &atom);
    auto block = reinterpret_cast<HGLOBAL>(handle);
    bool release = false;
    if (const auto* poke = static_cast<const DDEPOKE*>(block ? GlobalLock(block) : nullptr)) {
      release = poke->fRelease;
      GlobalUnlock(block);
    }
    Transaction t = Received(Kind::Poke, AtomName(static_cast<ATOM>(atom)), BlockBytes(block, kHeaderBytes),
                             !server.Options().refusePokes);
    const bool accepted = t.accepted;
    server.Record(std::move(t));
    // Taken with a positive answer and marked for release: ours to free. Otherwise the client's.
    if (accepted && release) GlobalFree(block);
    Answer(client, WM_DDE_ACK, conversation,
           ReuseDDElParam(lParam, WM_DDE_POKE, WM_DDE_ACK, accepted ? kAck : kNack, atom));
  }

  void OnTerminate(HWND conversation, HWND client) {
    PostMessageA(client, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(conversation), 0);
    clients.erase(conversation);
    DestroyWindow(conversation);
  }

  void EndAll() {
    for (auto& [conversation, client] : clients) {
      PostMessageA(client, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(conversation), 0);
      DestroyWindow(conversation);
    }
    clients.clear();
    for (const Held& h : held) FreeDDElParam(h.message, h.lParam);
    held.clear();
    if (listener) DestroyWindow(listener);
    listener = nullptr;
  }

  static LRESULT CALLBACK ListenerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Impl* self = Of(window);
    if (message == WM_DDE_INITIATE && self) {
      self->OnInitiate(reinterpret_cast<HWND>(wParam), LOWORD(lParam), HIWORD(lParam));
      return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }

  static LRESULT CALLBACK ConversationProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Impl* self = Of(window);
    if (!self || message < WM_DDE_FIRST || message > WM_DDE_LAST)
      return DefWindowProcA(window, message, wParam, lParam);
    const auto found = self->clients.find(window);
    const auto sender = reinterpret_cast<HWND>(wParam);
    // Only the conversation's own client is served.
    if (found == self->clients.end() || found->second != sender) {
      if (message != WM_DDE_TERMINATE && message != WM_DDE_EXECUTE) FreeDDElParam(message, lParam);
      return 0;
    }
    switch (message) {
      case WM_DDE_EXECUTE:
        self->OnExecute(window, sender, lParam);
        break;
      case WM_DDE_REQUEST:
        self->OnRequest(window, sender, lParam);
        break;
      case WM_DDE_POKE:
        self->OnPoke(window, sender, lParam);
        break;
      case WM_DDE_TERMINATE:
        self->OnTerminate(window, sender);
        break;
      default:  // advise loops are not served
        FreeDDElParam(message, lParam);
        break;
    }
    return 0;
  }
};

namespace {

bool RegisterClasses() {
  static const bool registered = [] {
    WNDCLASSA listener = {};
    listener.lpfnWndProc = DdeServer::Impl::ListenerProc;
    listener.hInstance = GetModuleHandleA(nullptr);
    listener.lpszClassName = kListenerClass;
    WNDCLASSA conversation = listener;
    conversation.lpfnWndProc = DdeServer::Impl::ConversationProc;
    conversation.lpszClassName = kConversationClass;
    return RegisterClassA(&listener) != 0 && RegisterClassA(&conversation) != 0;
  }();
  return registered;
}

}  // namespace

DdeServer::DdeServer(PeerOptions options) : options_(std::move(options)) {}

DdeServer::~DdeServer() {
  Stop();
}

bool DdeServer::Start(std::string* error) {
  std::unique_lock lock(mutex_);
  if (thread_.joinable()) return serving_;
  if (options_.serverName.empty() || options_.topic.empty() || options_.serverName.size() > 255) {
    if (error) *error = "the server name or topic cannot be served";
    return false;
  }
  thread_ = std::thread([this] { Serve(); });
  changed_.wait(lock, [this] { return ready_; });
  if (!serving_ && error) *error = startError_;
  return serving_;
}

void DdeServer::Serve() {
  Impl impl(*this);
  // The listener is a top-level window, hidden: only those hear the client's broadcast.
  if (RegisterClasses())
    impl.listener = CreateWindowExA(0, kListenerClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
  {
    std::lock_guard lock(mutex_);
    threadId_ = GetCurrentThreadId();
    serving_ = impl.listener != nullptr;
    if (!serving_) startError_ = "cannot create the server's window (error " + std::to_string(GetLastError()) + ")";
    ready_ = true;
  }
  changed_.notify_all();
  if (!impl.listener) return;
  SetWindowLongPtrA(impl.listener, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&impl));

  for (bool quit = false; !quit;) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, impl.WaitMs(), QS_ALLINPUT);
    MSG msg;
    while (!quit && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      quit = msg.message == WM_QUIT;
      if (!quit) DispatchMessageA(&msg);
    }
    impl.PostDue();
  }
  impl.EndAll();
  std::lock_guard lock(mutex_);
  serving_ = false;
  changed_.notify_all();
}

void DdeServer::Stop() {
  unsigned long threadId = 0;
  {
    std::lock_guard lock(mutex_);
    threadId = threadId_;
  }
  if (!thread_.joinable()) return;
  if (threadId) PostThreadMessageA(threadId, WM_QUIT, 0, 0);
  thread_.join();
}

void DdeServer::SetReplyDelay(uint32_t milliseconds) {
  std::lock_guard lock(mutex_);
  options_.replyDelayMs = milliseconds;
}

PeerOptions DdeServer::Options() const {
  std::lock_guard lock(mutex_);
  return options_;
}

void DdeServer::Record(Transaction transaction) {
  const PeerOptions options = Options();
  record_.Add(transaction, options.keepTransactions, options.keptPayloads);
}

}  // namespace varnel::peer
