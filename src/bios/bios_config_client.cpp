#include "bios/bios_config_client.h"

#include "bios/named_texts.h"
#include "platform/wbem_status.h"

BiosConfigClient::BiosConfigClient()
    : WmiConnection(kVendorBiosNamespace), methodStatus(S_FALSE) {}  // not yet prepared

HRESULT BiosConfigClient::ReadSettingValue(const std::wstring& name, std::wstring& value) {
    if (!services) _com_issue_error(Hr(WBEM_E_CONNECTION_FAILED));
    // The names passed here are fixed constants without quotes, so no escaping is needed.
    const HRESULT hr = RunQuery(kSettingQueryPrefix + name + kSettingQuerySuffix);
    if (hr != S_OK) return hr;  // no such setting: WBEM_S_FALSE, value left as it was
    return current.GetString(kValueProperty, value);
}

std::optional<bool> BiosConfigClient::CurrentPendingReboot() const {
    std::wstring pending;
    if (current.GetString(kPendingRebootProperty, pending) != S_OK || pending.empty()) {
        return std::nullopt;
    }
    return pending != L"0";
}
