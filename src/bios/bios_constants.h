// The named texts that the parts of the tool share: the WMI namespaces, classes, methods and
// properties that the tool names, the settings and their values, and the password argument
// forms. They are created before the run starts and live until the process exits. Each value is
// spelled once, in bios_constants.cpp: a text defined inline here would be created by every file
// that includes this header, some 250 bytes of start-up code per text and file, and the program
// must stay within 512 KiB. A text made of others comes after them there, as the texts of one
// file are created in the order they appear.
#pragma once

#include <string>

// Names that more than one class has: "Name" is the configuration method's argument and the
// property of the password instances and of the standard classes; "Value" is the setting's
// property and the method's argument.
extern const std::wstring kNameArgument;
extern const std::wstring kValueProperty;

// The standard namespace that describes the machine, its classes and their properties.
extern const std::wstring kCimv2Namespace;
extern const std::wstring kSystemEnclosureClass;
extern const std::wstring kComputerSystemClass;
extern const std::wstring kComputerSystemProductClass;
extern const std::wstring kBatteryClass;
extern const std::wstring kBiosClass;
extern const std::wstring kChassisTypesProperty;
extern const std::wstring kOemStringArrayProperty;
extern const std::wstring kVendorProperty;
extern const std::wstring kManufacturerProperty;
extern const std::wstring kReleaseDateProperty;

// The vendor's BIOS-configuration namespace.
extern const std::wstring kVendorBiosNamespace;
// The settings' class, and the start of the setting query: the setting name and a closing quote
// follow.
extern const std::wstring kSettingClass;
extern const std::wstring kSettingQueryPrefix;
extern const std::wstring kSettingQuerySuffix;

// Settings and their values.
extern const std::wstring kChargingPolicySetting;
extern const std::wstring kValueBeforePatch;
extern const std::wstring kValueAfterPatch;
extern const std::wstring kSetupPasswordSetting;
extern const std::wstring kEnhancedAuthenticationSetting;
extern const std::wstring kEnabledChoiceMarker;

// Qualification texts.
extern const std::wstring kVendorName;
extern const std::wstring kRequiredOemString;
extern const std::wstring kPasswordStateClass;
extern const std::wstring kPasswordStateQuery;
extern const std::wstring kIsSetProperty;
extern const std::wstring kIsSetTrue;

// Classes, method and properties of the configuration write.
extern const std::wstring kPasswordClass;
extern const std::wstring kSettingsInterfaceClass;
extern const std::wstring kSetSettingMethod;
extern const std::wstring kPasswordArgument;
extern const std::wstring kCurrentValueProperty;
extern const std::wstring kPossibleValuesProperty;
extern const std::wstring kSupportedEncodingProperty;
extern const std::wstring kReturnProperty;
extern const std::wstring kPathProperty;
// The settings interface's word on a change that waits for the next start; only the Linux
// provider has it.
extern const std::wstring kPendingRebootProperty;

// Password argument forms.
extern const std::wstring kUtf16Encoding;
extern const std::wstring kUtf16PasswordPrefix;
extern const std::wstring kKeyboardPasswordPrefix;
extern const std::wstring kUnchangedPasswordMarker;
