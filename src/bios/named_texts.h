// The named texts that the parts of the tool share: the WMI namespaces, classes, methods and
// properties that the tool names, the settings and their values, and the password argument
// forms. They are created before the run starts (a text made of others after them, as one
// file's texts are created in the order they appear) and live until the process exits.
#pragma once

#include <string>

// Names that more than one class has: "Name" is the configuration method's argument and the
// property of the password instances and of the standard classes; "Value" is the setting's
// property and the method's argument.
inline const std::wstring kNameArgument = L"Name";
inline const std::wstring kValueProperty = L"Value";

// The standard namespace that describes the machine, its classes and their properties.
inline const std::wstring kCimv2Namespace = L"\\\\.\\root\\cimv2";
inline const std::wstring kSystemEnclosureClass = L"Win32_SystemEnclosure";
inline const std::wstring kComputerSystemClass = L"Win32_ComputerSystem";
inline const std::wstring kComputerSystemProductClass = L"Win32_ComputerSystemProduct";
inline const std::wstring kBatteryClass = L"Win32_Battery";
inline const std::wstring kBiosClass = L"Win32_BIOS";
inline const std::wstring kChassisTypesProperty = L"ChassisTypes";
inline const std::wstring kOemStringArrayProperty = L"OEMStringArray";
inline const std::wstring kVendorProperty = L"Vendor";
inline const std::wstring kManufacturerProperty = L"Manufacturer";
inline const std::wstring kReleaseDateProperty = L"ReleaseDate";

// The vendor's BIOS-configuration namespace.
inline const std::wstring kVendorBiosNamespace = L"\\\\.\\root\\Vantrel\\InstrumentedBIOS";
// The settings' class, and the start of the setting query: the setting name and a closing quote
// follow.
inline const std::wstring kSettingClass = L"Vantrel_BIOSSetting";
inline const std::wstring kSettingQueryPrefix =
    L"SELECT * FROM " + kSettingClass + L" where " + kNameArgument + L"='";
inline const std::wstring kSettingQuerySuffix = L"'";

// Settings and their values.
inline const std::wstring kChargingPolicySetting = L"Cellkeeper";
inline const std::wstring kValueBeforePatch = L"Maximize my battery duration";
inline const std::wstring kValueAfterPatch = L"Let Vantrel manage my battery charging";
inline const std::wstring kSetupPasswordSetting = L"Setup Password";
inline const std::wstring kEnhancedAuthenticationSetting = L"Enhanced BIOS Authentication Mode";
inline const std::wstring kEnabledChoiceMarker = L"*ENABLE";

// Qualification texts.
inline const std::wstring kVendorName = L"Vantrel";
inline const std::wstring kRequiredOemString = L"EDK2_1";
inline const std::wstring kPasswordStateClass = L"VantrelBIOS_BIOSPassword";
inline const std::wstring kPasswordStateQuery = L"SELECT * FROM " + kPasswordStateClass;
inline const std::wstring kIsSetProperty = L"IsSet";
inline const std::wstring kIsSetTrue = L"1";

// Classes, method and properties of the configuration write.
inline const std::wstring kPasswordClass = L"Vantrel_BIOSPassword";
inline const std::wstring kSettingsInterfaceClass = L"Vantrel_BIOSSettingInterface";
inline const std::wstring kSetSettingMethod = L"SetBIOSSetting";
inline const std::wstring kPasswordArgument = L"Password";
inline const std::wstring kCurrentValueProperty = L"CurrentValue";
inline const std::wstring kPossibleValuesProperty = L"PossibleValues";
inline const std::wstring kSupportedEncodingProperty = L"SupportedEncoding";
inline const std::wstring kReturnProperty = L"Return";
inline const std::wstring kPathProperty = L"__PATH";
// The settings interface's word on a change that waits for the next start; only the Linux
// provider has it.
inline const std::wstring kPendingRebootProperty = L"PendingReboot";

// Password argument forms.
inline const std::wstring kUtf16Encoding = L"utf-16";
inline const std::wstring kUtf16PasswordPrefix = L"<utf-16/>";
inline const std::wstring kKeyboardPasswordPrefix = L"<kbd/>";
inline const std::wstring kUnchangedPasswordMarker = L"<BEAM/>";
