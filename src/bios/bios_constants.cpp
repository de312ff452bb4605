#include "bios/bios_constants.h"

const std::wstring kVendorBiosNamespace = L"\\\\.\\root\\Vantrel\\InstrumentedBIOS";
const std::wstring kSettingQueryPrefix = L"SELECT * FROM Vantrel_BIOSSetting where Name='";
const std::wstring kSettingQuerySuffix = L"'";

const std::wstring kChargingPolicySetting = L"Cellkeeper";
const std::wstring kValueBeforePatch = L"Maximize my battery duration";
const std::wstring kValueAfterPatch = L"Let Vantrel manage my battery charging";
const std::wstring kSetupPasswordSetting = L"Setup Password";
const std::wstring kEnhancedAuthenticationSetting = L"Enhanced BIOS Authentication Mode";
const std::wstring kEnabledChoiceMarker = L"*ENABLE";

const std::wstring kVendorName = L"Vantrel";
const std::wstring kRequiredOemString = L"EDK2_1";
const std::wstring kPasswordStateQuery = L"SELECT * FROM VantrelBIOS_BIOSPassword";
const std::wstring kIsSetProperty = L"IsSet";
const std::wstring kIsSetTrue = L"1";

const std::wstring kPasswordClass = L"Vantrel_BIOSPassword";
const std::wstring kSettingsInterfaceClass = L"Vantrel_BIOSSettingInterface";
const std::wstring kSetSettingMethod = L"SetBIOSSetting";
const std::wstring kNameArgument = L"Name";
const std::wstring kValueProperty = L"Value";
const std::wstring kPasswordArgument = L"Password";
const std::wstring kCurrentValueProperty = L"CurrentValue";
const std::wstring kSupportedEncodingProperty = L"SupportedEncoding";
const std::wstring kReturnProperty = L"Return";
const std::wstring kPathProperty = L"__PATH";

const std::wstring kUtf16Encoding = L"utf-16";
const std::wstring kUtf16PasswordPrefix = L"<utf-16/>";
const std::wstring kKeyboardPasswordPrefix = L"<kbd/>";
const std::wstring kUnchangedPasswordMarker = L"<BEAM/>";
