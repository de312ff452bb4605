// The tool's handle on the firmware's configuration settings: a connection to the vendor's
// BIOS-configuration namespace that reads settings by name and writes the charging policy
// through the provider's configuration method.
#pragma once

#include "platform/platform.h"
#include "wmi/wmi_connection.h"
#include "wmi/wmi_object.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class BiosConfigClient : public WmiConnection {
  public:
    // Connects to the vendor namespace; a failure only leaves services empty.
    BiosConfigClient();

    // Queries the setting by name and reads its "Value". The setting's instance stays current.
    // Raises _com_error(WBEM_E_CONNECTION_FAILED) without a connection; a missing setting
    // returns WBEM_S_FALSE and leaves value as it was.
    HRESULT ReadSettingValue(const std::wstring& name, std::wstring& value);

    // Writes kValueAfterPatch into kChargingPolicySetting through the configuration method.
    // Returns the method's "Return" code; every failure on the way is raised as _com_error.
    std::uint32_t SetBiosSetting(const std::wstring& password);

    // The steps of the write, in the order SetBiosSetting calls them.
    HRESULT PrepareMethodCall();
    // A `secret` text's copy is wiped before it is freed.
    HRESULT PutArgument(const std::wstring& name, const std::wstring& text, bool secret = false);
    HRESULT FindInterfacePath(std::wstring& path);
    HRESULT ExecuteMethod(const std::wstring& path);
    HRESULT ReadReturnCode(std::uint32_t& code);

    // Whether the firmware accepts UTF-16 passwords; decided once per process.
    bool SupportsUtf16Passwords();
    // The "SupportedEncoding" list of the setting "Setup Password".
    HRESULT ReadSupportedEncodings(std::vector<std::wstring>& list);
    // The password argument in the form the firmware supports.
    std::wstring EncodePassword(const std::wstring& password);
    // Whether the form the firmware supports can carry `password` unchanged: the keyboard form
    // gives each UTF-16 code unit two hexadecimal digits, so a unit above 0xFF (three or four
    // digits, with no separator) would reach the firmware as another password.
    bool CanSendPassword(const std::wstring& password);

    // "PendingReboot" of the current object, the settings interface: whether a change waits for
    // the next start; none where the provider does not say (only the Linux provider does).
    std::optional<bool> CurrentPendingReboot() const;

    std::wstring methodClassName;
    std::wstring methodName;
    WmiObject inParams;
    WmiObject outParams;
    HRESULT methodStatus;
};
