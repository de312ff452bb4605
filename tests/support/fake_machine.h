// A fake machine for the qualification and patch tests: what root\cimv2 and the vendor's
// BIOS-configuration namespace say about it, loaded into a FakeWmi. The defaults describe a
// notebook that qualifies; a test changes only the facts it is about.
#pragma once

#include "support/fake_wmi.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

inline constexpr wchar_t kCimv2[] = L"\\\\.\\root\\cimv2";
inline constexpr wchar_t kVendorBios[] = L"\\\\.\\root\\Vantrel\\InstrumentedBIOS";

struct FakeMachine {
    // root\cimv2; an unset optional means that the class has no instance.
    std::optional<std::vector<std::int32_t>> chassisTypes = std::vector<std::int32_t>{10};
    std::optional<std::vector<std::wstring>> oemStrings = std::vector<std::wstring>{L"EDK2_1"};
    std::wstring vendor = L"Vantrel";
    std::wstring model = L"Cellbook 14";
    int batteries = 1;
    std::wstring biosName = L"1.4.2";
    std::wstring manufacturer = L"Vantrel";
    std::optional<std::wstring> releaseDate = L"20230115000000.000000+000";

    // Vendor namespace: the password instances in the order delivered, with "IsSet" as any
    // value the provider might hand out.
    std::vector<std::pair<std::wstring, Variant>> passwords = {
        {L"Power-On Password", Variant::Int32(1)}, {L"Setup Password", Variant::Int32(0)}};
    std::optional<std::wstring> enhancedAuthentication = L"*Disable,Enable";
    // The charging-policy setting; no value means that the firmware lacks it.
    std::optional<std::wstring> chargingPolicy = L"Maximize my battery duration";

    void LoadInto(FakeWmi& wmi) const {
        FakeNamespace cimv2 = wmi.Namespace(kCimv2);
        if (chassisTypes) {
            cimv2.Add(WbemObjectBuilder(L"Win32_SystemEnclosure")
                          .Set(L"Tag", L"System Enclosure 0")
                          .Set(L"ChassisTypes", *chassisTypes));
        }
        if (oemStrings) {
            cimv2.Add(WbemObjectBuilder(L"Win32_ComputerSystem")
                          .Set(L"Name", L"HOST")
                          .Set(L"OEMStringArray", *oemStrings));
        }
        cimv2.Add(WbemObjectBuilder(L"Win32_ComputerSystemProduct")
                      .Set(L"Name", model)
                      .Set(L"Vendor", vendor));
        cimv2.AddClass(WbemObjectBuilder::Class(L"Win32_Battery").Declare(L"Name", CIM_STRING));
        for (int i = 0; i < batteries; ++i) {
            cimv2.Add(
                WbemObjectBuilder(L"Win32_Battery").Set(L"Name", L"BAT" + std::to_wstring(i)));
        }
        WbemObjectBuilder bios(L"Win32_BIOS");
        bios.Set(L"Name", biosName).Set(L"Manufacturer", manufacturer);
        if (releaseDate) {
            bios.Set(L"ReleaseDate", *releaseDate);
        } else {
            bios.Declare(L"ReleaseDate", CIM_DATETIME);
        }
        cimv2.Add(bios);

        FakeNamespace vendorBios = wmi.Namespace(kVendorBios);
        vendorBios.AddClass(WbemObjectBuilder::Class(L"VantrelBIOS_BIOSPassword")
                                .Declare(L"Name", CIM_STRING)
                                .Declare(L"IsSet", CIM_SINT32));
        for (const auto& [name, isSet] : passwords) {
            vendorBios.Add(WbemObjectBuilder(L"VantrelBIOS_BIOSPassword")
                               .Set(L"Name", name)
                               .Set(L"IsSet", isSet, CIM_SINT32));
        }
        vendorBios.AddClass(WbemObjectBuilder::Class(L"Vantrel_BIOSSetting")
                                .Declare(L"Name", CIM_STRING)
                                .Declare(L"Value", CIM_STRING)
                                .Declare(L"CurrentValue", CIM_STRING));
        if (enhancedAuthentication) {
            vendorBios.Add(WbemObjectBuilder(L"Vantrel_BIOSSetting")
                               .Set(L"Name", L"Enhanced BIOS Authentication Mode")
                               .Set(L"Value", *enhancedAuthentication));
        }
        if (chargingPolicy) {
            vendorBios.Add(WbemObjectBuilder(L"Vantrel_BIOSSetting")
                               .Set(L"Name", L"Cellkeeper")
                               .Set(L"Value", L"*" + *chargingPolicy +
                                                  L",Let Vantrel manage my battery charging")
                               .Set(L"CurrentValue", *chargingPolicy));
        }
        // The configuration method; what it answers is up to each test.
        auto in = WbemObjectBuilder::Parameters()
                      .Declare(L"Name", CIM_STRING)
                      .Declare(L"Value", CIM_STRING)
                      .Declare(L"Password", CIM_STRING)
                      .Build();
        auto out = WbemObjectBuilder::Parameters().Declare(L"Return", CIM_UINT32).Build();
        vendorBios.AddClass(WbemObjectBuilder::Class(L"Vantrel_BIOSSettingInterface")
                                .Method(L"SetBIOSSetting", in, out));
        vendorBios.Add(WbemObjectBuilder(L"Vantrel_BIOSSettingInterface")
                           .Key(L"InstanceName")
                           .Set(L"InstanceName", L"ACPI\\PNP0C14\\0_0")
                           .Namespace(L"root\\Vantrel\\InstrumentedBIOS"));
    }
};
