#include "AnalyzerPeer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>

#include "transport/dbus/DbusNames.h"
#include "transport/dbus/SdBus.h"

namespace varnel::peer {

using namespace transport::dbus;
using SteadyClock = std::chrono::steady_clock;

// The largest payload the recorder sends (16777216 frames of two samples).
constexpr uint32_t kMaxPokeBytes = 64u << 20;
// Pokes begun and not finished that are kept at once; one more drops the oldest.
constexpr std::size_t kMaxUnfinishedPokes = 4;

namespace {

// A name too long to be an item is refused without being kept or repeated.
std::string NameRefusal(const char* item) {
  const std::size_t length = std::strlen(item);
  if (length <= kMaxItemBytes) return {};
  return "item name of " + std::to_string(length) + " bytes, longer than " + std::to_string(kMaxItemBytes);
}

}  // namespace

bool SameItem(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(x) == lower(y);
  });
}

struct AnalyzerPeer::Impl {
  struct Pending {
    SteadyClock::time_point due;
    MessagePtr reply;
  };
  struct Partial {
    uint32_t total = 0;
    uint32_t calls = 0;
    std::vector<uint8_t> bytes;
    uint64_t begun = 0;  // order of the first slices
  };

  AnalyzerPeer& peer;
  BusPtr bus;
  SlotPtr slot;
  std::vector<Pending> pending;
  std::map<std::string, Partial> partial;  // by lower-case item
  uint64_t begun = 0;

  explicit Impl(AnalyzerPeer& owner) : peer(owner) {}

  PeerOptions Options() {
    std::lock_guard lock(peer.mutex_);
    return peer.options_;
  }

  // Sends the reply now, or keeps it until the configured delay has passed.
  int Answer(sd_bus_message* reply, uint32_t delayMs) {
    if (!reply) return -ENOMEM;
    MessagePtr owned(reply);
    if (delayMs == 0) return sd_bus_send(nullptr, owned.get(), nullptr) < 0 ? -EIO : 1;
    pending.push_back({SteadyClock::now() + std::chrono::milliseconds(delayMs), std::move(owned)});
    return 1;
  }

  static sd_bus_message* Ok(sd_bus_message* call) {
    sd_bus_message* reply = nullptr;
    return sd_bus_message_new_method_return(call, &reply) < 0 ? nullptr : reply;
  }
  static sd_bus_message* Refusal(sd_bus_message* call, const char* what) {
    sd_bus_message* reply = nullptr;
    return sd_bus_message_new_method_errorf(call, &reply, kErrorNotProcessed, "%s", what) < 0 ? nullptr : reply;
  }

  static int OnExecute(sd_bus_message* call, void* userdata, sd_bus_error*) {
    auto& self = *static_cast<Impl*>(userdata);
    const void* data = nullptr;
    std::size_t size = 0;
    if (int r = sd_bus_message_read_array(call, 'y', &data, &size); r < 0) return r;
    PeerOptions options = self.Options();
    Transaction t{Kind::Execute, {}, {}, 1, !options.refuseCommands, options.refuseCommands ? "command refused" : ""};
    if (size) t.bytes.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    self.Screened(t);
    const uint32_t delay = options.replyDelayMs;
    sd_bus_message* reply = t.accepted ? Ok(call) : Refusal(call, t.refusal.c_str());
    self.peer.Record(std::move(t));
    return self.Answer(reply, delay);
  }

  static int OnRequest(sd_bus_message* call, void* userdata, sd_bus_error*) {
    auto& self = *static_cast<Impl*>(userdata);
    const char* item = nullptr;
    if (int r = sd_bus_message_read(call, "s", &item); r < 0) return r;
    PeerOptions options = self.Options();
    if (std::string why = NameRefusal(item); !why.empty()) return self.Refuse(call, Kind::Request, {}, why, 1);
    const bool known = SameItem(item, "FFT Size") && !options.refuseFft;
    Transaction t{Kind::Request, item, {}, 1, known, known ? "" : "no such item"};
    sd_bus_message* reply = nullptr;
    if (known) {
      t.bytes.assign(options.fftAnswer.begin(), options.fftAnswer.end());
      t.bytes.push_back(0);
      reply = Ok(call);
      if (reply && sd_bus_message_append_array(reply, 'y', t.bytes.data(), t.bytes.size()) < 0) {
        sd_bus_message_unref(reply);
        reply = nullptr;
      }
    } else {
      reply = Refusal(call, "no such item");
    }
    self.peer.Record(t);
    return self.Answer(reply, options.replyDelayMs);
  }

  static int OnPoke(sd_bus_message* call, void* userdata, sd_bus_error*) {
    auto& self = *static_cast<Impl*>(userdata);
    const char* item = nullptr;
    uint32_t offset = 0;
    uint32_t total = 0;
    const void* data = nullptr;
    std::size_t size = 0;
    if (int r = sd_bus_message_read(call, "suu", &item, &offset, &total); r < 0) return r;
    if (int r = sd_bus_message_read_array(call, 'y', &data, &size); r < 0) return r;
    PeerOptions options = self.Options();
    if (std::string why = NameRefusal(item); !why.empty()) return self.Refuse(call, Kind::Poke, {}, why, 1);
    std::string key(item);
    std::transform(key.begin(), key.end(), key.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    if (offset == 0) {
      self.partial.erase(key);
      if (std::string why = self.StartScreened(item, total); !why.empty()) {
        self.Tally();
        return self.Refuse(call, Kind::Poke, item, why, 1);
      }
      self.Begin(key, total);
    }
    Partial& part = self.partial[key];
    const char* fault = nullptr;
    if (offset != part.bytes.size() || total != part.total || size > total - offset)
      fault = "poke slice out of order";
    else if (total > kMaxPokeBytes)
      fault = "poke too large";
    if (fault) {
      const uint32_t calls = part.calls + 1;
      self.partial.erase(key);
      self.Tally();
      // A refusal the caller can see, and a line for whoever watches the peer.
      return self.Refuse(call, Kind::Poke, item, fault, calls);
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    part.bytes.insert(part.bytes.end(), bytes, bytes + size);
    ++part.calls;
    bool accepted = !options.refusePokes;
    std::string refusal = accepted ? "" : "poke refused";
    if (part.bytes.size() == total || !accepted) {
      Transaction t{Kind::Poke, item, std::move(part.bytes), part.calls, accepted, refusal};
      self.partial.erase(key);
      self.Screened(t);
      accepted = t.accepted;
      refusal = t.refusal;
      self.peer.Record(std::move(t));
    }
    self.Tally();
    return self.Answer(accepted ? Ok(call) : Refusal(call, refusal.c_str()), options.replyDelayMs);
  }

  // Records a refused transaction without a payload and answers it.
  int Refuse(sd_bus_message* call, Kind kind, std::string item, const std::string& why, uint32_t calls) {
    peer.Record(Transaction{kind, std::move(item), {}, calls, false, why});
    return Answer(Refusal(call, why.c_str()), Options().replyDelayMs);
  }

  // A new poke of an item: the oldest unfinished one goes when too many are.
  void Begin(const std::string& key, uint32_t total) {
    if (partial.size() >= kMaxUnfinishedPokes) {
      auto oldest = std::min_element(partial.begin(), partial.end(),
                                     [](const auto& a, const auto& b) { return a.second.begun < b.second.begun; });
      partial.erase(oldest);
    }
    partial[key] = Partial{total, 0, {}, ++begun};
  }

  // What the unfinished pokes hold, for whoever watches the peer's size.
  void Tally() {
    std::size_t bytes = 0;
    for (const auto& [key, part] : partial) bytes += part.bytes.capacity();
    peer.unfinishedBytes_ = bytes;
    peer.unfinishedPokes_ = partial.size();
  }

  // Lets the owner refuse a poke at its first slice.
  std::string StartScreened(const std::string& item, uint32_t total) {
    PokeStartScreen screen;
    {
      std::lock_guard lock(peer.mutex_);
      screen = peer.pokeStartScreen_;
    }
    return screen ? screen(item, total) : std::string();
  }

  // Lets the owner refuse what the options accept.
  void Screened(Transaction& t) {
    if (!t.accepted) return;
    Screen screen;
    {
      std::lock_guard lock(peer.mutex_);
      screen = peer.screen_;
    }
    if (!screen) return;
    std::string why = screen(t);
    if (why.empty()) return;
    t.accepted = false;
    t.refusal = std::move(why);
  }

  void SendDue() {
    const auto now = SteadyClock::now();
    auto due = std::stable_partition(pending.begin(), pending.end(), [&](const Pending& p) { return p.due > now; });
    for (auto it = due; it != pending.end(); ++it) sd_bus_send(bus.get(), it->reply.get(), nullptr);
    pending.erase(due, pending.end());
  }

  uint64_t WaitMicroseconds() const {
    uint64_t wait = 10000;
    const auto now = SteadyClock::now();
    for (const auto& p : pending) {
      auto left = std::chrono::duration_cast<std::chrono::microseconds>(p.due - now).count();
      wait = std::min<uint64_t>(wait, left > 0 ? static_cast<uint64_t>(left) : 0);
    }
    return wait;
  }
};

namespace {

const sd_bus_vtable kVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Execute", "ay", "", AnalyzerPeer::Impl::OnExecute, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Request", "s", "ay", AnalyzerPeer::Impl::OnRequest, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Poke", "suuay", "", AnalyzerPeer::Impl::OnPoke, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

}  // namespace

AnalyzerPeer::AnalyzerPeer(PeerOptions options)
    : options_(std::move(options)),
      busName_(ServiceBusName(options_.serverName)),
      objectPath_(TopicObjectPath(options_.topic)) {}

AnalyzerPeer::~AnalyzerPeer() {
  Vanish();
}

bool AnalyzerPeer::Start(std::string* error) {
  std::unique_lock lock(mutex_);
  if (started_) return serving_;
  started_ = true;
  if (busName_.empty() || objectPath_.empty()) {
    if (error) *error = "the server name or topic cannot be put on the bus";
    return false;
  }
  thread_ = std::thread([this] { Serve(); });
  changed_.wait(lock, [this] { return ready_; });
  if (!serving_ && error) *error = startError_;
  return serving_;
}

void AnalyzerPeer::Serve() {
  Impl impl(*this);
  auto fail = [&](const std::string& why, int r) {
    std::lock_guard lock(mutex_);
    startError_ = why + ": " + std::strerror(r < 0 ? -r : r);
    ready_ = true;
    changed_.notify_all();
  };
  int r = 0;
  impl.bus = OpenUserBus(&r);
  if (!impl.bus) return fail("cannot reach the session bus", r);
  sd_bus_slot* slot = nullptr;
  r = sd_bus_add_object_vtable(impl.bus.get(), &slot, objectPath_.c_str(), kInterface, kVtable, &impl);
  if (r < 0) return fail("cannot serve " + objectPath_, r);
  impl.slot.reset(slot);
  r = sd_bus_request_name(impl.bus.get(), busName_.c_str(), 0);
  if (r < 0) return fail("cannot own " + busName_, r);
  {
    std::lock_guard lock(mutex_);
    serving_ = true;
    ready_ = true;
  }
  changed_.notify_all();

  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (stop_) break;
    }
    r = sd_bus_process(impl.bus.get(), nullptr);
    if (r < 0) break;  // the bus went away
    impl.SendDue();
    if (r > 0) continue;
    sd_bus_wait(impl.bus.get(), impl.WaitMicroseconds());
  }
  impl.pending.clear();
  impl.partial.clear();
  impl.Tally();
  impl.slot.reset();
  impl.bus.reset();
  std::lock_guard lock(mutex_);
  serving_ = false;
  changed_.notify_all();
}

void AnalyzerPeer::Vanish() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  if (thread_.joinable()) thread_.join();
}

bool AnalyzerPeer::Serving() const {
  std::lock_guard lock(mutex_);
  return serving_;
}

void AnalyzerPeer::SetFftAnswer(std::string text) {
  std::lock_guard lock(mutex_);
  options_.fftAnswer = std::move(text);
  options_.refuseFft = false;
}

void AnalyzerPeer::SetRefuseFft(bool refuse) {
  std::lock_guard lock(mutex_);
  options_.refuseFft = refuse;
}

void AnalyzerPeer::SetRefusePokes(bool refuse) {
  std::lock_guard lock(mutex_);
  options_.refusePokes = refuse;
}

void AnalyzerPeer::SetReplyDelay(uint32_t milliseconds) {
  std::lock_guard lock(mutex_);
  options_.replyDelayMs = milliseconds;
}

void AnalyzerPeer::SetScreen(Screen screen) {
  std::lock_guard lock(mutex_);
  screen_ = std::move(screen);
}

void AnalyzerPeer::SetPokeStartScreen(PokeStartScreen screen) {
  std::lock_guard lock(mutex_);
  pokeStartScreen_ = std::move(screen);
}

void AnalyzerPeer::Record(Transaction transaction) {
  bool keep = false;
  std::size_t payloads = 0;
  {
    std::lock_guard lock(mutex_);
    keep = options_.keepTransactions;
    payloads = options_.keptPayloads;
  }
  record_.Add(transaction, keep, payloads);
}

std::vector<Transaction> AnalyzerPeer::Of(Kind kind, const std::string& item) const {
  return record_.Where(
      [&](const Transaction& t) { return t.kind == kind && (item.empty() || SameItem(t.item, item)); });
}

}  // namespace varnel::peer
