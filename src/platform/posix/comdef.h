// The COM support classes of the Linux layer: _com_error, _com_issue_error and _bstr_t, with the
// names and semantics of the compiler's COM support library, limited to what the system uses.
#pragma once

#include "platform/posix/com.h"
#include "platform/posix/oleauto.h"
#include "platform/posix/win_types.h"

#include <atomic>

struct IErrorInfo;

// The COM error raised by _com_issue_error. Like the real one it is not a std::exception, so
// only a catch-all handler or a handler for _com_error itself catches it.
class _com_error {
  public:
    _com_error(HRESULT hr, IErrorInfo* perrinfo = nullptr, bool fAddRef = false) noexcept;
    _com_error(const _com_error& that) noexcept;
    virtual ~_com_error() noexcept;
    _com_error& operator=(const _com_error& that) noexcept;

    HRESULT Error() const noexcept;

  private:
    HRESULT m_hresult;
};

// Raises _com_error with the code.
[[noreturn]] void _com_issue_error(HRESULT hr);

// A reference-counted BSTR made from wide text and handed to calls that take a BSTR: copies
// share one string, the last owner frees it. The counts change atomically. Allocation failures
// raise _com_error with E_OUTOFMEMORY.
class _bstr_t {
  public:
    _bstr_t() noexcept;
    _bstr_t(const _bstr_t& s) noexcept;
    _bstr_t(const wchar_t* s);
    ~_bstr_t() noexcept;

    _bstr_t& operator=(const _bstr_t& s) noexcept;

    // The shared BSTR itself (null for an empty _bstr_t).
    operator const wchar_t*() const noexcept;
    operator wchar_t*() const noexcept;

    unsigned int length() const noexcept;

  private:
    struct Data_t {
        BSTR m_wstr;
        std::atomic<unsigned long> m_RefCount{1};
    };

    void _Free() noexcept;

    Data_t* m_Data = nullptr;
};
