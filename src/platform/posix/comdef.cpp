// _com_error, _com_issue_error and _bstr_t for the Linux layer.
#include "platform/posix/comdef.h"

#include <memory>
#include <new>

// --- _com_error ----------------------------------------------------------------------------

_com_error::_com_error(HRESULT hr, IErrorInfo* /*perrinfo*/, bool /*fAddRef*/) noexcept
    : m_hresult(hr) {}

_com_error::_com_error(const _com_error& that) noexcept = default;

_com_error::~_com_error() noexcept = default;

_com_error& _com_error::operator=(const _com_error& that) noexcept = default;

HRESULT _com_error::Error() const noexcept { return m_hresult; }

void _com_issue_error(HRESULT hr) { throw _com_error(hr); }

// --- _bstr_t -------------------------------------------------------------------------------

void _bstr_t::_Free() noexcept {
    // The last owner deletes the shared block and its string.
    if (m_Data && --m_Data->m_RefCount == 0) {
        SysFreeString(m_Data->m_wstr);
        std::unique_ptr<Data_t> last(m_Data);
    }
    m_Data = nullptr;
}

_bstr_t::_bstr_t() noexcept = default;

_bstr_t::_bstr_t(const _bstr_t& s) noexcept : m_Data(s.m_Data) {
    if (m_Data) ++m_Data->m_RefCount;
}

_bstr_t::_bstr_t(const wchar_t* s) {
    BSTR bstr = SysAllocString(s);
    if (s && !bstr) _com_issue_error(E_OUTOFMEMORY);
    m_Data = new (std::nothrow) Data_t{bstr};
    if (!m_Data) {
        SysFreeString(bstr);
        _com_issue_error(E_OUTOFMEMORY);
    }
}

_bstr_t::~_bstr_t() noexcept { _Free(); }

_bstr_t& _bstr_t::operator=(const _bstr_t& s) noexcept {
    if (this == &s || m_Data == s.m_Data) return *this;
    _Free();
    m_Data = s.m_Data;
    if (m_Data) ++m_Data->m_RefCount;
    return *this;
}

_bstr_t::operator const wchar_t*() const noexcept { return m_Data ? m_Data->m_wstr : nullptr; }

_bstr_t::operator wchar_t*() const noexcept { return m_Data ? m_Data->m_wstr : nullptr; }

unsigned int _bstr_t::length() const noexcept { return m_Data ? SysStringLen(m_Data->m_wstr) : 0; }
