// Reads and seeds values under the tool's registry key through the Windows registry API, so the
// same checks run against our Linux store and against Wine's registry.
#pragma once

#include "base/text.h"
#include "platform/platform.h"
#include "record/registry_value.h"

#include <optional>
#include <string>

inline constexpr wchar_t kToolKeyPath[] = L"SOFTWARE\\Vantrel\\Vantrel Cellkeeper Patch";

struct StoredString {
    std::wstring text;
    DWORD type = REG_NONE;
    DWORD size = 0;  // bytes, as the registry reports them
};

inline std::optional<StoredString> ReadToolString(const wchar_t* name) {
    StoredString stored;
    // Sizes of text count UTF-16 code units on both platforms.
    std::wstring buffer(256, L'\0');
    stored.size = static_cast<DWORD>(buffer.size() * sizeof(char16_t));
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kToolKeyPath, name, RRF_RT_REG_SZ, &stored.type,
                     buffer.data(), &stored.size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    stored.text = buffer.c_str();
    return stored;
}

inline std::optional<DWORD> ReadToolDword(const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kToolKeyPath, name, RRF_RT_REG_DWORD, nullptr, &value,
                     &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

// Gives the six profile values a stale content, so a test sees which ones a run rewrote.
inline void SeedStaleProfile(HKEY key) {
    for (const wchar_t* name :
         {L"SystemVendor", L"SystemModel", L"BIOSReleaseName", L"BIOSReleaseDate"}) {
        SetString(key, name, L"stale");
    }
    for (const wchar_t* name : {L"HasNoteBookChassis", L"NumBatteries"}) {
        SetDword(key, name, 77);
    }
}
