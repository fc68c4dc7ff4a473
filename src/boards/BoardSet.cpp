#include "boards/BoardSet.h"

namespace varnel::boards {

namespace {
std::vector<BoardKind> Unlabelled(std::vector<std::unique_ptr<BoardApi>> kinds) {
  std::vector<BoardKind> labelled;
  for (auto& kind : kinds) labelled.push_back({std::move(kind), {}, {}});
  return labelled;
}
}  // namespace

BoardSet::BoardSet(std::vector<std::unique_ptr<BoardApi>> kinds) : BoardSet(Unlabelled(std::move(kinds))) {}

BoardSet::BoardSet(std::vector<BoardKind> kinds) : kinds_(std::move(kinds)) {}

bool BoardSet::LoadDriver() {
  bool any = false;
  for (auto& kind : kinds_) any = kind.api->LoadDriver() || any;
  return any;
}

BoardStatus BoardSet::EnumerateBoards(const BoardEnumCallback& callback) {
  listed_.clear();
  BoardStatus last = kBoardSuccess;
  bool goOn = true;
  for (size_t k = 0; k < kinds_.size() && goOn; ++k) {
    if (kinds_[k].present && !kinds_[k].present()) continue;
    if (!kinds_[k].api->LoadDriver()) continue;
    const BoardStatus status = kinds_[k].api->EnumerateBoards([&](std::string_view name) -> int32_t {
      std::string shown = (kinds_[k].label + std::string(name)).substr(0, kListedNameLength);
      listed_.push_back({shown, k, std::string(name)});
      goOn = callback(shown) != 0;
      return goOn ? 1 : 0;
    });
    // One kind that cannot enumerate must not hide the boards of the others.
    if (status != kBoardSuccess) last = status;
  }
  return listed_.empty() ? last : kBoardSuccess;
}

BoardStatus BoardSet::InitializeBoard(std::string_view name, BoardHandle* board) {
  for (const Listed& listed : listed_) {
    if (listed.name != name) continue;
    BoardHandle inner = 0;
    const BoardStatus status = kinds_[listed.kind].api->InitializeBoard(listed.inner, &inner);
    if (status != kBoardSuccess) return status;
    currentKind_ = listed.kind;
    if (board) *board = Wrap(listed.kind, inner);
    return kBoardSuccess;
  }
  return kUnknownBoardStatus;
}

const BoardSet::Inner* BoardSet::Find(BoardHandle outer) const {
  const auto it = handles_.find(outer);
  return it == handles_.end() ? nullptr : &it->second;
}

BoardHandle BoardSet::Wrap(size_t kind, BoardHandle inner) {
  if (inner == 0) return 0;
  const auto known = outerOf_.find({kind, inner});
  if (known != outerOf_.end()) return known->second;
  BoardHandle outer = nextHandle_++;
  if (nextHandle_ == 0) nextHandle_ = 1;
  handles_[outer] = {kind, inner};
  outerOf_[{kind, inner}] = outer;
  return outer;
}

void BoardSet::Forget(BoardHandle outer) {
  const auto it = handles_.find(outer);
  if (it == handles_.end()) return;
  outerOf_.erase({it->second.kind, it->second.handle});
  handles_.erase(it);
}

template <typename Call>
BoardStatus BoardSet::Route(BoardHandle outer, Call&& call) {
  const Inner* inner = Find(outer);
  if (!inner) return kBadHandleStatus;
  return call(*kinds_[inner->kind].api, inner->kind, inner->handle);
}

BoardStatus BoardSet::TerminateBoard(BoardHandle board) {
  const BoardStatus status = Route(board, [](BoardApi& k, size_t, BoardHandle h) { return k.TerminateBoard(h); });
  if (status == kBoardSuccess) Forget(board);
  return status;
}

BoardStatus BoardSet::GetSubsystem(BoardHandle board, BoardHandle* subsystem) {
  return Route(board, [&](BoardApi& k, size_t kind, BoardHandle h) {
    BoardHandle inner = 0;
    const BoardStatus status = k.GetSubsystem(h, &inner);
    if (status == kBoardSuccess && subsystem) *subsystem = Wrap(kind, inner);
    return status;
  });
}

BoardStatus BoardSet::ReleaseSubsystem(BoardHandle subsystem) {
  const BoardStatus status = Route(subsystem, [](BoardApi& k, size_t, BoardHandle h) { return k.ReleaseSubsystem(h); });
  if (status == kBoardSuccess) Forget(subsystem);
  return status;
}

#define VARNEL_ROUTE(handle, expr) Route(handle, [&](BoardApi& k, size_t, BoardHandle h) { return k.expr; })

BoardStatus BoardSet::GetSubsystemCapability(BoardHandle s, BoardCapability which, double* value) {
  return VARNEL_ROUTE(s, GetSubsystemCapability(h, which, value));
}
BoardStatus BoardSet::GetNativeRates(BoardHandle s, std::vector<int32_t>* rates) {
  return VARNEL_ROUTE(s, GetNativeRates(h, rates));
}
BoardStatus BoardSet::GetCodeFormat(BoardHandle s, CodeFormat* format) {
  return VARNEL_ROUTE(s, GetCodeFormat(h, format));
}
BoardStatus BoardSet::CheckRun(BoardHandle s, const RunSettings& run, std::string* refusal) {
  return VARNEL_ROUTE(s, CheckRun(h, run, refusal));
}
BoardStatus BoardSet::Configure(BoardHandle s, const RunSettings& run) {
  return VARNEL_ROUTE(s, Configure(h, run));
}
BoardStatus BoardSet::StartAcquisition(BoardHandle s, BoardEvents* events) {
  return VARNEL_ROUTE(s, StartAcquisition(h, events));
}
BoardStatus BoardSet::StopAcquisition(BoardHandle s) {
  return VARNEL_ROUTE(s, StopAcquisition(h));
}
BoardStatus BoardSet::EndAcquisitionAndFlush(BoardHandle s) {
  return VARNEL_ROUTE(s, EndAcquisitionAndFlush(h));
}
BoardStatus BoardSet::GetBufferData(BoardHandle b, BufferData* data) {
  return VARNEL_ROUTE(b, GetBufferData(h, data));
}

#undef VARNEL_ROUTE

BoardStatus BoardSet::TakeDoneBuffer(BoardHandle subsystem, BoardHandle* buffer) {
  return Route(subsystem, [&](BoardApi& k, size_t kind, BoardHandle h) {
    BoardHandle inner = 0;
    const BoardStatus status = k.TakeDoneBuffer(h, &inner);
    if (buffer) *buffer = status == kBoardSuccess ? Wrap(kind, inner) : 0;
    return status;
  });
}

BoardStatus BoardSet::QueueReadyBuffer(BoardHandle subsystem, BoardHandle buffer) {
  const Inner* inner = Find(buffer);
  if (!inner) return kBadHandleStatus;
  const BoardHandle innerBuffer = inner->handle;
  return Route(subsystem, [&](BoardApi& k, size_t, BoardHandle h) { return k.QueueReadyBuffer(h, innerBuffer); });
}

BoardStatus BoardSet::AllocateBuffer(uint32_t samples, BoardHandle* buffer) {
  if (kinds_.empty()) return kBadHandleStatus;
  BoardHandle inner = 0;
  const BoardStatus status = kinds_[currentKind_].api->AllocateBuffer(samples, &inner);
  if (buffer) *buffer = status == kBoardSuccess ? Wrap(currentKind_, inner) : 0;
  return status;
}

BoardStatus BoardSet::FreeBuffer(BoardHandle buffer) {
  const BoardStatus status = Route(buffer, [](BoardApi& k, size_t, BoardHandle h) { return k.FreeBuffer(h); });
  if (status == kBoardSuccess) Forget(buffer);
  return status;
}

}  // namespace varnel::boards
