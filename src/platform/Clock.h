#pragma once
// Time as the recorder sees it: a wrapping millisecond tick count, Sleep and
// the local time. The process-wide clock is replaceable so that tests of
// timing rules are exact.
//
// The system clock is thread-safe; FakeClock is thread-safe too, so a test may
// advance it while the board's producer thread reads it.

#include <atomic>
#include <cstdint>

namespace varnel::platform {

struct LocalTime {
  int32_t year = 1970;
  int32_t month = 1;  // 1-12
  int32_t day = 1;    // 1-31
  int32_t hour = 0;
  int32_t minute = 0;
  int32_t second = 0;
  int32_t millisecond = 0;
};

// An instant of the system's real-time clock, with the local zone's offset then.
struct WallTime {
  int64_t utcMicroseconds = 0;    // since 1970-01-01T00:00:00Z
  int32_t zoneOffsetSeconds = 0;  // local time minus UTC
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t TickCount() = 0;  // milliseconds, wraps after about 49.7 days
  virtual void Sleep(uint32_t milliseconds) = 0;
  virtual LocalTime Now() = 0;
  virtual WallTime WallNow() = 0;
};

Clock& GetClock();
// Replaces the process-wide clock; nullptr restores the system clock.
// Returns the clock installed before.
Clock* SetClock(Clock* clock);

class SystemClock : public Clock {
 public:
  uint32_t TickCount() override;
  void Sleep(uint32_t milliseconds) override;
  LocalTime Now() override;
  WallTime WallNow() override;
};

// Time moves only when told; Sleep advances it.
class FakeClock : public Clock {
 public:
  explicit FakeClock(uint32_t startTick = 1000) : ticks_(startTick) {}
  uint32_t TickCount() override { return ticks_.load(); }
  void Sleep(uint32_t milliseconds) override { Advance(milliseconds); }
  LocalTime Now() override;
  // The local time Now gives, in the zone set by SetZoneOffset (UTC at first).
  WallTime WallNow() override;
  void SetZoneOffset(int32_t seconds) { zoneOffset_ = seconds; }
  void Advance(uint32_t milliseconds) { ticks_ += milliseconds; }
  void SetTicks(uint32_t ticks) { ticks_ = ticks; }
  void SetLocalTime(const LocalTime& time) {
    base_ = time;
    baseTick_ = ticks_.load();
  }

 private:
  std::atomic<uint32_t> ticks_;
  LocalTime base_{2026, 1, 2, 3, 4, 5, 0};
  uint32_t baseTick_ = 1000;
  std::atomic<int32_t> zoneOffset_{0};
};

// Installs a clock for the lifetime of the object.
class ScopedClock {
 public:
  explicit ScopedClock(Clock& clock) : previous_(SetClock(&clock)) {}
  ~ScopedClock() { SetClock(previous_); }
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;

 private:
  Clock* previous_;
};

}  // namespace varnel::platform
