#include "base/secret_text.h"
#include "base/text.h"
#include "bios/bios_config_client.h"
#include "bios/named_texts.h"
#include "platform/wbem_status.h"

#include <algorithm>

namespace {

// The firmware's answer for the whole process: -1 not asked yet, 0 no, 1 yes. Once asked it is
// kept, even when the question stopped at a failure.
int utf16PasswordAnswer = -1;

constexpr int kAnswerNo = 0;
constexpr int kAnswerYes = 1;

// A code unit in lower-case hexadecimal, right-aligned in two characters filled with a blank.
void AppendKeyboardCode(std::wstring& out, char16_t unit) {
    constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring digits;
    unsigned value = unit;
    do {
        digits.insert(digits.begin(), kDigits[value % 16]);
        value /= 16;
    } while (value != 0);
    if (digits.size() < 2) out.push_back(L' ');
    out += digits;
}

}  // namespace

bool BiosConfigClient::SupportsUtf16Passwords() {
    if (utf16PasswordAnswer == kAnswerNo || utf16PasswordAnswer == kAnswerYes) {
        return utf16PasswordAnswer == kAnswerYes;
    }
    utf16PasswordAnswer = kAnswerNo;
    if (SelectFirstInstance(kPasswordClass) != S_OK) return false;
    std::vector<std::wstring> encodings;
    if (ReadSupportedEncodings(encodings) != S_OK) return false;
    // Exact comparison: the firmware's name for it is lower case.
    if (std::find(encodings.begin(), encodings.end(), kUtf16Encoding) != encodings.end()) {
        utf16PasswordAnswer = kAnswerYes;
    }
    return utf16PasswordAnswer == kAnswerYes;
}

HRESULT BiosConfigClient::ReadSupportedEncodings(std::vector<std::wstring>& list) {
    if (!services) _com_issue_error(Hr(WBEM_E_CONNECTION_FAILED));
    const HRESULT hr = RunQuery(kSettingQueryPrefix + kSetupPasswordSetting + kSettingQuerySuffix);
    if (hr != S_OK) return hr;
    return current.GetStringArray(kSupportedEncodingProperty, list);
}

std::wstring BiosConfigClient::EncodePassword(const std::wstring& password) {
    if (SupportsUtf16Passwords()) {
        if (password.find(kUnchangedPasswordMarker) != std::wstring::npos) return password;
        return kUtf16PasswordPrefix + password;
    }
    // The keyboard form counts UTF-16 code units whatever the width of wchar_t.
    std::wstring encoded = kKeyboardPasswordPrefix;
    std::u16string units = ToUtf16(password);
    // Room for every code's four digits, so that no copy of the growing text is left behind.
    encoded.reserve(encoded.size() + 4 * units.size());
    for (const char16_t unit : units) AppendKeyboardCode(encoded, unit);
    WipeBytes(units.data(), units.size() * sizeof(char16_t));
    return encoded;
}

bool BiosConfigClient::CanSendPassword(const std::wstring& password) {
    if (SupportsUtf16Passwords()) return true;
    std::u16string units = ToUtf16(password);
    const bool fits =
        std::all_of(units.begin(), units.end(), [](char16_t unit) { return unit <= 0xFF; });
    WipeBytes(units.data(), units.size() * sizeof(char16_t));
    return fits;
}
