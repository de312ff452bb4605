// A fake vendor BIOS-configuration namespace for the client's tests: the settings it reads,
// the password facts it asks for and the configuration method it calls.
#pragma once

#include "bios/named_texts.h"
#include "platform/platform.h"
#include "support/fake_wmi.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

// The code of the _com_error that `call` raises, or nothing when it returns.
template <typename Call>
std::optional<HRESULT> RaisedCode(Call&& call) {
    try {
        call();
    } catch (const _com_error& error) {
        return error.Error();
    }
    return std::nullopt;
}

inline constexpr wchar_t kInterfacePath[] =
    L"\\\\.\\root\\Vantrel\\InstrumentedBIOS:Vantrel_BIOSSettingInterface."
    L"InstanceName=\"ACPI\\\\PNP0C14\\\\0_0\"";

class VendorBiosTest : public testing::Test {
  protected:
    VendorBiosTest() : vendor(wmi.Namespace(kVendorBiosNamespace)) {}

    // A Vantrel_BIOSSetting instance.
    void AddSetting(const std::wstring& name, const std::wstring& value,
                    const std::wstring& currentValue) {
        vendor.Add(WbemObjectBuilder(L"Vantrel_BIOSSetting")
                       .Set(L"Name", name)
                       .Set(L"Value", value)
                       .Set(L"CurrentValue", currentValue));
    }

    // The charging-policy setting before the patch.
    void AddChargingPolicySetting() {
        AddSetting(kChargingPolicySetting,
                   L"*Maximize my battery duration,Let Vantrel manage my battery charging",
                   kValueBeforePatch);
    }

    // The settings-interface class with its method taking Name, Value and Password, and
    // (optionally) the instance whose path the method is called on.
    void AddSettingsInterface(bool withInstance = true) {
        const auto in = WbemObjectBuilder::Parameters()
                            .Declare(L"Name", CIM_STRING)
                            .Declare(L"Value", CIM_STRING)
                            .Declare(L"Password", CIM_STRING)
                            .Build();
        const auto out = WbemObjectBuilder::Parameters().Declare(L"Return", CIM_UINT32).Build();
        vendor.AddClass(
            WbemObjectBuilder::Class(kSettingsInterfaceClass).Method(kSetSettingMethod, in, out));
        if (!withInstance) return;
        WbemObjectBuilder instance(kSettingsInterfaceClass);
        instance.Key(L"InstanceName").Set(L"InstanceName", L"ACPI\\PNP0C14\\0_0");
        vendor.Add(instance);
    }

    // A password instance and the "Setup Password" setting listing `encodings`.
    void AddPasswordEncodings(Variant encodings) {
        vendor.Add(WbemObjectBuilder(kPasswordClass).Set(L"Name", kSetupPasswordSetting));
        vendor.Add(WbemObjectBuilder(L"Vantrel_BIOSSetting")
                       .Set(L"Name", kSetupPasswordSetting)
                       .Set(L"Value", L"")
                       .Set(kSupportedEncodingProperty, std::move(encodings),
                            static_cast<CIMTYPE>(CIM_STRING | CIM_FLAG_ARRAY)));
    }

    // The text of a property of the last method call's input object.
    std::wstring LastArgument(const wchar_t* name) const {
        const ComPtr<IWbemClassObject> input = wmi.LastMethodInput();
        if (!input) return L"<no input>";
        Variant value;
        if (FAILED(input->Get(name, 0, value.put(), nullptr, nullptr))) return L"<no argument>";
        if (value.Type() != VT_BSTR) return L"<not text>";
        return value.get()->bstrVal ? value.get()->bstrVal : L"";
    }

    FakeWmi wmi;
    FakeNamespace vendor;
};
