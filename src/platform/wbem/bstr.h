// Owner of one BSTR: frees it on reset and destruction.
#pragma once

#include "platform/platform.h"

#include <string>
#include <string_view>
#include <utility>

namespace wbem {

class Bstr {
  public:
    Bstr() = default;
    explicit Bstr(BSTR owned) : value_(owned) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept {
        std::swap(value_, other.value_);
        return *this;
    }
    ~Bstr() { reset(); }

    // A copy of `text`; throws std::bad_alloc when it cannot be allocated.
    static Bstr Copy(std::wstring_view text);

    void reset() {
        if (BSTR old = std::exchange(value_, nullptr)) SysFreeString(old);
    }
    BSTR* put() {
        reset();
        return &value_;
    }
    BSTR get() const { return value_; }
    BSTR detach() { return std::exchange(value_, nullptr); }

  private:
    BSTR value_ = nullptr;
};

// The text of a BSTR up to its first NUL; a null BSTR reads as empty.
std::wstring BstrText(BSTR value);

}  // namespace wbem
