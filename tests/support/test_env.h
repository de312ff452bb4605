// Process environment for tests, written once for both builds.
#pragma once

#include <string>

// Sets the environment variable `name` to `value` for this process.
void SetEnvironmentVariableForTest(const std::string& name, const std::string& value);

// Pins the time zone of the C library's local time, e.g. "UTC0" or "CET-1" (a form that both
// the Linux and the Windows C library read the same way), and restores the previous one when
// destroyed.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const std::string& zone);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  private:
    bool hadZone_ = false;
    std::string previousZone_;
};
