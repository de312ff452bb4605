#include "bios/bios_constants.h"

const std::wstring kNameArgument = L"Name";
const std::wstring kValueProperty = L"Value";

const std::wstring kCimv2Namespace = L"\\\\.\\root\\cimv2";
const std::wstring kSystemEnclosureClass = L"Win32_SystemEnclosure";
const std::wstring kComputerSystemClass = L"Win32_ComputerSystem";
const std::wstring kComputerSystemProductClass = L"Win32_ComputerSystemProduct";
const std::wstring kBatteryClass = L"Win32_Battery";
const std::wstring kBiosClass = L"Win32_BIOS";
const std::wstring kChassisTypesProperty = L"ChassisTypes";
const std::wstring kOemStringArrayProperty = L"OEMStringArray";
const std::wstring kVendorProperty = L"Vendor";
const std::wstring kManufacturerProperty = L"Manufacturer";
const std::wstring kReleaseDateProperty = L"ReleaseDate";

const std::wstring kVendorBiosNamespace = L"\\\\.\\root\\Vantrel\\InstrumentedBIOS";
const std::wstring kSettingClass = L"Vantrel_BIOSSetting";
const std::wstring kSettingQueryPrefix =
    L"SELECT * FROM " + kSettingClass + L" where " + kNameArgument + L"='";
const std::wstring kSettingQuerySuffix = L"'";

const std::wstring kChargingPolicySetting = L"Cellkeeper";
const std::wstring kValueBeforePatch = L"Maximize my battery duration";
const std::wstring kValueAfterPatch = L"Let Vantrel manage my battery charging";
const std::wstring kSetupPasswordSetting = L"Setup Password";
const std::wstring kEnhancedAuthenticationSetting = L"Enhanced BIOS Authentication Mode";
const std::wstring kEnabledChoiceMarker = L"*ENABLE";

const std::wstring kVendorName = L"Vantrel";
const std::wstring kRequiredOemString = L"EDK2_1";
const std::wstring kPasswordStateClass = L"VantrelBIOS_BIOSPassword";
const std::wstring kPasswordStateQuery = L"SELECT * FROM " + kPasswordStateClass;
const std::wstring kIsSetProperty = L"IsSet";
const std::wstring kIsSetTrue = L"1";

const std::wstring kPasswordClass = L"Vantrel_BIOSPassword";
const std::wstring kSettingsInterfaceClass = L"Vantrel_BIOSSettingInterface";
const std::wstring kSetSettingMethod = L"SetBIOSSetting";
const std::wstring kPasswordArgument = L"Password";
const std::wstring kCurrentValueProperty = L"CurrentValue";
const std::wstring kPossibleValuesProperty = L"PossibleValues";
const std::wstring kSupportedEncodingProperty = L"SupportedEncoding";
const std::wstring kReturnProperty = L"Return";
const std::wstring kPathProperty = L"__PATH";
const std::wstring kPendingRebootProperty = L"PendingReboot";

const std::wstring kUtf16Encoding = L"utf-16";
const std::wstring kUtf16PasswordPrefix = L"<utf-16/>";
const std::wstring kKeyboardPasswordPrefix = L"<kbd/>";
const std::wstring kUnchangedPasswordMarker = L"<BEAM/>";
