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
    WORD WCode() const noexcept;
    // No error objects on this platform: always null.
    IErrorInfo* ErrorInfo() const noexcept;

    static HRESULT WCodeToHRESULT(WORD wCode) noexcept;
    static WORD HRESULTToWCode(HRESULT hr) noexcept;

  private:
    HRESULT m_hresult;
};

// Raises _com_error with the code.
[[noreturn]] void _com_issue_error(HRESULT hr);

// A reference-counted BSTR: copies share one string, the last owner frees it. The counts change
// atomically. Allocation failures raise _com_error with E_OUTOFMEMORY.
class _bstr_t {
  public:
    _bstr_t() noexcept;
    _bstr_t(const _bstr_t& s) noexcept;
    _bstr_t(const wchar_t* s);
    // fCopy false takes over the BSTR; true copies it.
    _bstr_t(BSTR bstr, bool fCopy);
    ~_bstr_t() noexcept;

    _bstr_t& operator=(const _bstr_t& s) noexcept;
    _bstr_t& operator=(const wchar_t* s);
    _bstr_t& operator+=(const _bstr_t& s);
    _bstr_t operator+(const _bstr_t& s) const;

    // The shared BSTR itself (null for an empty _bstr_t).
    operator const wchar_t*() const noexcept;
    operator wchar_t*() const noexcept;

    bool operator!() const noexcept;
    bool operator==(const _bstr_t& str) const noexcept;
    bool operator!=(const _bstr_t& str) const noexcept;
    bool operator<(const _bstr_t& str) const noexcept;
    bool operator>(const _bstr_t& str) const noexcept;
    bool operator<=(const _bstr_t& str) const noexcept;
    bool operator>=(const _bstr_t& str) const noexcept;

    // A new BSTR for the caller to free (fCopy true), or the shared one (fCopy false).
    BSTR copy(bool fCopy = true) const;
    unsigned int length() const noexcept;
    // Replaces the text with a copy of s.
    void Assign(BSTR s);
    // The shared BSTR, by reference; creates an empty holder first when there is none.
    BSTR& GetBSTR();
    // Frees the current text and hands out the address for an out-parameter.
    BSTR* GetAddress();
    // Takes over s, freeing what was held.
    void Attach(BSTR s);
    // Hands the BSTR to the caller; the _bstr_t is empty afterwards. Only for a string that
    // no copy shares (otherwise the program ends, as with the real class).
    BSTR Detach() noexcept;

  private:
    class Data_t {
      public:
        explicit Data_t(BSTR owned) noexcept : m_wstr(owned) {}
        ~Data_t();
        Data_t(const Data_t&) = delete;
        Data_t& operator=(const Data_t&) = delete;

        unsigned long AddRef() noexcept;
        unsigned long Release() noexcept;  // destroys itself at zero
        unsigned long RefCount() const noexcept { return m_RefCount.load(); }
        BSTR& GetWString() noexcept { return m_wstr; }
        BSTR GetWString() const noexcept { return m_wstr; }
        unsigned int Length() const noexcept;
        int Compare(const Data_t& other) const noexcept;

      private:
        BSTR m_wstr;
        std::atomic<unsigned long> m_RefCount{1};
    };

    static Data_t* NewData(BSTR owned);
    static int Compare(const Data_t* a, const Data_t* b) noexcept;
    void _Free() noexcept;

    Data_t* m_Data = nullptr;
};
