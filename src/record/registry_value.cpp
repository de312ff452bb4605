#include "record/registry_value.h"

#include "base/text.h"

namespace {

template <typename T>
LONG SetFixed(HKEY key, const wchar_t* name, DWORD type, const T& value) {
    return RegSetValueExW(key, name, /*Reserved=*/0, type, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value));
}

template <typename T>
LONG GetFixed(HKEY key, const wchar_t* name, DWORD flags, T& value) {
    T read{};
    DWORD size = sizeof(read);
    const LONG result =
        RegGetValueW(key, /*lpSubKey=*/nullptr, name, flags, /*pdwType=*/nullptr, &read, &size);
    if (result == ERROR_SUCCESS) {
        value = read;
    }
    return result;
}

}  // namespace

LONG SetDword(HKEY key, const wchar_t* name, DWORD value) {
    return SetFixed(key, name, REG_DWORD, value);
}

LONG SetQword(HKEY key, const wchar_t* name, std::int64_t value) {
    return SetFixed(key, name, REG_QWORD, value);
}

LONG SetString(HKEY key, const wchar_t* name, const std::wstring& text) {
    const auto size = static_cast<DWORD>((Utf16Length(text) + 1) * sizeof(char16_t));
    return RegSetValueExW(key, name, /*Reserved=*/0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()), size);
}

LONG GetDword(HKEY key, const wchar_t* name, DWORD& value) {
    return GetFixed(key, name, RRF_RT_REG_DWORD, value);
}

LONG GetQword(HKEY key, const wchar_t* name, std::int64_t& value) {
    return GetFixed(key, name, RRF_RT_REG_QWORD, value);
}
