#include "qualification/bios_security_info.h"

#include "base/text.h"
#include "bios/named_texts.h"

#include <algorithm>
#include <string>

void BiosSecurityInfo::ProbeSetupPassword() {
    // A failed query, or one without any instance, leaves the state unknown (-1).
    if (RunQuery(kPasswordStateQuery) != S_OK) return;
    do {
        std::wstring name;
        current.GetString(kNameArgument, name);
        if (EqualsIgnoreCase(name, kSetupPasswordSetting)) {
            std::wstring isSet;
            current.GetString(kIsSetProperty, isSet);
            setupPasswordState = isSet == kIsSetTrue ? 1 : 0;
            return;
        }
    } while (NextResult());
}

void BiosSecurityInfo::ProbeEnhancedAuthentication() {
    std::wstring value;
    if (ReadSettingValue(kEnhancedAuthenticationSetting, value) != S_OK) return;
    // The choice in force carries a "*" in front of it, in whatever letter case the firmware
    // writes it.
    std::transform(value.begin(), value.end(), value.begin(), [](wchar_t c) {
        return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
    });
    enhancedAuthEnabled = value.find(kEnabledChoiceMarker) != std::wstring::npos;
}
