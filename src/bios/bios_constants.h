// The named texts that the parts of the tool share: setting names and values, the vendor's
// class, method and property names, and the password argument forms. They are created before
// the run starts and live until the process exits.
#pragma once

#include <string>

// The vendor's BIOS-configuration namespace.
extern const std::wstring kVendorBiosNamespace;  // "\\.\root\Vantrel\InstrumentedBIOS"
// Start of the setting query; the setting name and a closing quote follow.
extern const std::wstring kSettingQueryPrefix;  // "SELECT * FROM Vantrel_BIOSSetting where Name='"
extern const std::wstring kSettingQuerySuffix;  // "'"

// Settings and their values.
extern const std::wstring kChargingPolicySetting;  // "Cellkeeper"
extern const std::wstring kValueBeforePatch;       // "Maximize my battery duration"
extern const std::wstring kValueAfterPatch;        // "Let Vantrel manage my battery charging"
extern const std::wstring kSetupPasswordSetting;   // "Setup Password"
extern const std::wstring kEnhancedAuthenticationSetting;  // "Enhanced BIOS Authentication Mode"
extern const std::wstring kEnabledChoiceMarker;            // "*ENABLE"

// Qualification texts.
extern const std::wstring kVendorName;          // "Vantrel"
extern const std::wstring kRequiredOemString;   // "EDK2_1"
extern const std::wstring kPasswordStateQuery;  // "SELECT * FROM VantrelBIOS_BIOSPassword"
extern const std::wstring kIsSetProperty;       // "IsSet"
extern const std::wstring kIsSetTrue;           // "1"

// Classes, method and properties of the configuration write.
extern const std::wstring kPasswordClass;              // "Vantrel_BIOSPassword"
extern const std::wstring kSettingsInterfaceClass;     // "Vantrel_BIOSSettingInterface"
extern const std::wstring kSetSettingMethod;           // "SetBIOSSetting"
extern const std::wstring kNameArgument;               // "Name" (also the password instances' name)
extern const std::wstring kValueProperty;              // "Value" (property and argument)
extern const std::wstring kPasswordArgument;           // "Password"
extern const std::wstring kCurrentValueProperty;       // "CurrentValue"
extern const std::wstring kSupportedEncodingProperty;  // "SupportedEncoding"
extern const std::wstring kReturnProperty;             // "Return"
extern const std::wstring kPathProperty;               // "__PATH"

// Password argument forms.
extern const std::wstring kUtf16Encoding;            // "utf-16"
extern const std::wstring kUtf16PasswordPrefix;      // "<utf-16/>"
extern const std::wstring kKeyboardPasswordPrefix;   // "<kbd/>"
extern const std::wstring kUnchangedPasswordMarker;  // "<BEAM/>"
