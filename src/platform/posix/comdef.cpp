// _com_error, _com_issue_error and _bstr_t for the Linux layer.
#include "platform/posix/comdef.h"

#include <cwchar>
#include <memory>
#include <new>
#include <utility>

// --- _com_error ----------------------------------------------------------------------------

namespace {

// The range of HRESULTs that carry an IDispatch exception code (FACILITY_ITF, 0x200 on).
constexpr HRESULT kWCodeFirst = MakeHresult(0x80040200u);
constexpr HRESULT kWCodeLast = MakeHresult(0x8004FFFFu);

}  // namespace

_com_error::_com_error(HRESULT hr, IErrorInfo* /*perrinfo*/, bool /*fAddRef*/) noexcept
    : m_hresult(hr) {}

_com_error::_com_error(const _com_error& that) noexcept = default;

_com_error::~_com_error() noexcept = default;

_com_error& _com_error::operator=(const _com_error& that) noexcept = default;

HRESULT _com_error::Error() const noexcept { return m_hresult; }

WORD _com_error::WCode() const noexcept { return HRESULTToWCode(m_hresult); }

IErrorInfo* _com_error::ErrorInfo() const noexcept { return nullptr; }

HRESULT _com_error::WCodeToHRESULT(WORD wCode) noexcept {
    return wCode >= 0xFE00 ? kWCodeLast : kWCodeFirst + wCode;
}

WORD _com_error::HRESULTToWCode(HRESULT hr) noexcept {
    return (hr >= kWCodeFirst && hr <= kWCodeLast) ? static_cast<WORD>(hr - kWCodeFirst) : 0;
}

void _com_issue_error(HRESULT hr) { throw _com_error(hr); }

// --- _bstr_t -------------------------------------------------------------------------------

namespace {

BSTR CopyBstr(BSTR source) {
    if (!source) return nullptr;
    BSTR copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(source), SysStringByteLen(source));
    if (!copy) _com_issue_error(E_OUTOFMEMORY);
    return copy;
}

}  // namespace

_bstr_t::Data_t::~Data_t() { SysFreeString(m_wstr); }

unsigned long _bstr_t::Data_t::AddRef() noexcept { return ++m_RefCount; }

unsigned long _bstr_t::Data_t::Release() noexcept {
    const unsigned long left = --m_RefCount;
    // The last owner deletes the shared block; it was created by NewData.
    if (left == 0) std::unique_ptr<Data_t> last(this);
    return left;
}

unsigned int _bstr_t::Data_t::Length() const noexcept { return SysStringLen(m_wstr); }

int _bstr_t::Data_t::Compare(const Data_t& other) const noexcept {
    if (!m_wstr) return other.m_wstr ? -1 : 0;
    if (!other.m_wstr) return 1;
    const unsigned int length = Length();
    const unsigned int otherLength = other.Length();
    const unsigned int common = length < otherLength ? length : otherLength;
    for (unsigned int i = 0; i < common; ++i) {
        if (m_wstr[i] != other.m_wstr[i]) return m_wstr[i] < other.m_wstr[i] ? -1 : 1;
    }
    return length == otherLength ? 0 : (length < otherLength ? -1 : 1);
}

_bstr_t::Data_t* _bstr_t::NewData(BSTR owned) {
    auto* data = new (std::nothrow) Data_t(owned);
    if (!data) {
        SysFreeString(owned);
        _com_issue_error(E_OUTOFMEMORY);
    }
    return data;
}

int _bstr_t::Compare(const Data_t* a, const Data_t* b) noexcept {
    // As the real class orders them: no holder first, then a null string, then text.
    if (a == b) return 0;
    if (!a) return -1;
    if (!b) return 1;
    return a->Compare(*b);
}

void _bstr_t::_Free() noexcept {
    if (m_Data) {
        m_Data->Release();
        m_Data = nullptr;
    }
}

_bstr_t::_bstr_t() noexcept = default;

_bstr_t::_bstr_t(const _bstr_t& s) noexcept : m_Data(s.m_Data) {
    if (m_Data) m_Data->AddRef();
}

_bstr_t::_bstr_t(const wchar_t* s) {
    BSTR bstr = SysAllocString(s);
    if (s && !bstr) _com_issue_error(E_OUTOFMEMORY);
    m_Data = NewData(bstr);
}

_bstr_t::_bstr_t(BSTR bstr, bool fCopy) : m_Data(NewData(fCopy ? CopyBstr(bstr) : bstr)) {}

_bstr_t::~_bstr_t() noexcept { _Free(); }

_bstr_t& _bstr_t::operator=(const _bstr_t& s) noexcept {
    if (m_Data != s.m_Data) {
        _Free();
        m_Data = s.m_Data;
        if (m_Data) m_Data->AddRef();
    }
    return *this;
}

_bstr_t& _bstr_t::operator=(const wchar_t* s) {
    // Build first: a failure leaves this string as it was, and s may point into it.
    _bstr_t fresh(s);
    return *this = fresh;
}

_bstr_t& _bstr_t::operator+=(const _bstr_t& s) { return *this = *this + s; }

_bstr_t _bstr_t::operator+(const _bstr_t& s) const {
    const unsigned int left = length();
    const unsigned int right = s.length();
    if (left + static_cast<unsigned long long>(right) > 0xFFFFFFFFull / sizeof(OLECHAR)) {
        _com_issue_error(E_OUTOFMEMORY);
    }
    BSTR joined = SysAllocStringLen(nullptr, left + right);
    if (!joined) _com_issue_error(E_OUTOFMEMORY);
    if (left) std::wmemcpy(joined, m_Data->GetWString(), left);
    if (right) std::wmemcpy(joined + left, s.m_Data->GetWString(), right);
    return _bstr_t(joined, /*fCopy=*/false);
}

_bstr_t::operator const wchar_t*() const noexcept {
    return m_Data ? m_Data->GetWString() : nullptr;
}

_bstr_t::operator wchar_t*() const noexcept { return m_Data ? m_Data->GetWString() : nullptr; }

bool _bstr_t::operator!() const noexcept { return !m_Data || !m_Data->GetWString(); }

bool _bstr_t::operator==(const _bstr_t& str) const noexcept {
    return Compare(m_Data, str.m_Data) == 0;
}
bool _bstr_t::operator!=(const _bstr_t& str) const noexcept {
    return Compare(m_Data, str.m_Data) != 0;
}
bool _bstr_t::operator<(const _bstr_t& str) const noexcept {
    return Compare(m_Data, str.m_Data) < 0;
}
bool _bstr_t::operator>(const _bstr_t& str) const noexcept {
    return Compare(m_Data, str.m_Data) > 0;
}
bool _bstr_t::operator<=(const _bstr_t& str) const noexcept {
    return Compare(m_Data, str.m_Data) <= 0;
}
bool _bstr_t::operator>=(const _bstr_t& str) const noexcept {
    return Compare(m_Data, str.m_Data) >= 0;
}

BSTR _bstr_t::copy(bool fCopy) const {
    BSTR current = m_Data ? m_Data->GetWString() : nullptr;
    return fCopy ? CopyBstr(current) : current;
}

unsigned int _bstr_t::length() const noexcept { return m_Data ? m_Data->Length() : 0; }

void _bstr_t::Assign(BSTR s) {
    // Assigning our own string changes nothing.
    if (s && m_Data && m_Data->GetWString() == s) return;
    BSTR copy = CopyBstr(s);
    _Free();
    m_Data = NewData(copy);
}

BSTR& _bstr_t::GetBSTR() {
    if (!m_Data) m_Data = NewData(nullptr);
    return m_Data->GetWString();
}

BSTR* _bstr_t::GetAddress() {
    Attach(nullptr);
    return &m_Data->GetWString();
}

void _bstr_t::Attach(BSTR s) {
    _Free();
    m_Data = NewData(s);
}

BSTR _bstr_t::Detach() noexcept {
    // Only a sole owner may take the string away; anything else is a programming error, which
    // ends the program here as it does with the real class.
    if (!m_Data || m_Data->RefCount() != 1) _com_issue_error(E_POINTER);
    BSTR detached = nullptr;
    std::swap(detached, m_Data->GetWString());
    _Free();
    return detached;
}
