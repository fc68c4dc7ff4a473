#pragma once
// Pointer-sized driver handles behind the 32-bit handles of BoardApi: a 64-bit
// driver may hand out handles that do not fit 32 bits, and a truncated one
// would name another object or none. Each driver handle gets a small number of
// its own for as long as it lives; 0 stays 0 both ways.
//
// Called on the main thread only.

#include <cstdint>
#include <map>

#include "boards/BoardApi.h"

namespace varnel::openlayers {

class HandleMap {
 public:
  // The number of a driver handle, made on first sight; 0 for null.
  BoardHandle Map(void* handle) {
    if (handle == nullptr) return 0;
    const auto known = numbers_.find(handle);
    if (known != numbers_.end()) return known->second;
    BoardHandle number;
    do {
      number = next_++;
    } while (number == 0 || handles_.count(number) != 0);
    numbers_[handle] = number;
    handles_[number] = handle;
    return number;
  }
  // The driver handle of a number; null when it names none.
  void* Find(BoardHandle number) const {
    const auto it = handles_.find(number);
    return it == handles_.end() ? nullptr : it->second;
  }
  bool Contains(BoardHandle number) const { return handles_.count(number) != 0; }
  void Forget(BoardHandle number) {
    const auto it = handles_.find(number);
    if (it == handles_.end()) return;
    numbers_.erase(it->second);
    handles_.erase(it);
  }
  std::size_t Size() const { return handles_.size(); }

 private:
  std::map<void*, BoardHandle> numbers_;
  std::map<BoardHandle, void*> handles_;
  BoardHandle next_ = 1;
};

}  // namespace varnel::openlayers
