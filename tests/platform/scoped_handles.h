// Owners for the registry keys and handles that the platform tests open, so that a failed
// assertion cannot leave one open.
#pragma once

#include "platform/platform.h"

#include <utility>

class ScopedKey {
  public:
    ScopedKey() = default;
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;
    ~ScopedKey() { reset(); }

    HKEY get() const { return key_; }
    // Closes what is held and hands out the address for an out-parameter.
    HKEY* put() {
        reset();
        return &key_;
    }
    // Gives up ownership, for a test of RegCloseKey itself.
    HKEY release() { return std::exchange(key_, nullptr); }
    void reset() {
        if (HKEY key = std::exchange(key_, nullptr)) RegCloseKey(key);
    }

  private:
    HKEY key_ = nullptr;
};

class ScopedHandle {
  public:
    ScopedHandle() = default;
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ~ScopedHandle() { reset(); }

    HANDLE get() const { return handle_; }
    HANDLE* put() {
        reset();
        return &handle_;
    }
    HANDLE release() { return std::exchange(handle_, nullptr); }
    void reset() {
        if (HANDLE handle = std::exchange(handle_, nullptr)) CloseHandle(handle);
    }

  private:
    HANDLE handle_ = nullptr;
};
