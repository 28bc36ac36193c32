#pragma once
// How long the program and its tools wait for a lock another program holds on
// a directory file before they give up and say that the file is in use. One
// setting for every connection the program and its tools open; tests that
// hold locks themselves shorten it rather than wait the full time.
//
// Header only: the exchange tool, which links no platform layer, waits as
// long as the program does.

#include <algorithm>
#include <utility>

namespace numora::locks {

// Long enough for another program's ordinary commit to end.
inline constexpr int kDefaultBusyTimeoutMs = 2000;

inline int& busyTimeoutSetting()
{
    static int ms = kDefaultBusyTimeoutMs;
    return ms;
}

// The wait of a statement that meets a lock.
inline int busyTimeoutMs() { return busyTimeoutSetting(); }

// The wait of a look at whether a file is free, made before work that must not
// hold a window up for the full wait: an eighth of it (250 ms by default),
// still longer than an ordinary commit takes.
inline int glanceMs() { return std::max(1, busyTimeoutMs() / 8); }

// Sets the wait for its own lifetime.
class BusyTimeout {
public:
    explicit BusyTimeout(int ms) : saved_(std::exchange(busyTimeoutSetting(), ms)) {}
    ~BusyTimeout() { busyTimeoutSetting() = saved_; }
    BusyTimeout(const BusyTimeout&) = delete;
    BusyTimeout& operator=(const BusyTimeout&) = delete;

private:
    int saved_;
};

} // namespace numora::locks
