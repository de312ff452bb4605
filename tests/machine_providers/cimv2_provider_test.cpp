// The cimv2 provider through IWbemServices, as the tool's queries reach it.
#include "machine_providers/providers.h"
#include "platform/owners.h"
#include "platform/platform.h"
#include "support/machine_tree.h"
#include "support/wbem_reading.h"
#include "wmi_service/bstr.h"
#include "wmi_service/variant.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using wmi_service::CopyBstr;
using wmi_service::Variant;

std::string SmbiosType11(std::string_view strings, unsigned char count) {
    return std::string{'\x0B', '\x05', '\x00', '\x01', static_cast<char>(count)} +
           std::string(strings);
}

class Cimv2ProviderTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(machine_providers::CreateCimv2Services(services.put()), S_OK);
    }

    // Every object the query delivers; the test fails when the query itself fails.
    std::vector<ComPtr<IWbemClassObject>> Query(const wchar_t* wql) {
        return QueryObjects(services.get(), wql);
    }

    static Variant Get(const ComPtr<IWbemClassObject>& object, const wchar_t* name) {
        return GetProperty(object.get(), name);
    }
    static std::wstring Text(const ComPtr<IWbemClassObject>& object, const wchar_t* name) {
        const Variant value = Get(object, name);
        EXPECT_EQ(value.Type(), VT_BSTR) << name;
        return value.Type() == VT_BSTR ? wmi_service::BstrText(V_BSTR(value.get())) : L"<not text>";
    }
    static std::vector<std::wstring> Texts(const ComPtr<IWbemClassObject>& object,
                                           const wchar_t* name) {
        const Variant value = Get(object, name);
        EXPECT_EQ(value.Type(), VT_ARRAY | VT_BSTR) << name;
        std::vector<std::wstring> texts;
        if (value.Type() != (VT_ARRAY | VT_BSTR)) return texts;
        SAFEARRAY* array = V_ARRAY(value.get());
        LONG lower = 0;
        LONG upper = -1;
        SafeArrayGetLBound(array, 1, &lower);
        SafeArrayGetUBound(array, 1, &upper);
        for (LONG i = lower; i <= upper; ++i) {
            UniqueBstr element;
            EXPECT_EQ(SafeArrayGetElement(array, &i, element.put()), S_OK);
            texts.push_back(wmi_service::BstrText(element.get()));
        }
        return texts;
    }

    MachineTree tree;
    ComPtr<IWbemServices> services;
};

TEST_F(Cimv2ProviderTest, NotebookAnswersTheFiveQueries) {
    tree.WriteAttribute("sys/class/dmi/id/chassis_type", "10");
    tree.WriteAttribute("sys/class/dmi/id/sys_vendor", "Vantrel");
    tree.WriteAttribute("sys/class/dmi/id/product_name", "Vantrel Book 14");
    tree.WriteAttribute("sys/class/dmi/id/bios_vendor", "Vantrel");
    tree.WriteAttribute("sys/class/dmi/id/bios_version", "1.17.0");
    tree.WriteAttribute("sys/class/dmi/id/bios_date", "03/15/2024");
    tree.WriteFile("sys/firmware/dmi/entries/11-0/raw",
                   SmbiosType11(std::string_view("abc\0   \0EDK2_1\0\0", 16), 3));
    tree.WriteAttribute("sys/class/power_supply/BAT0/type", "Battery");
    tree.WriteAttribute("sys/class/power_supply/BAT0/model_name", "VB-52");
    tree.WriteAttribute("sys/class/power_supply/AC/type", "Mains");

    const auto enclosures = Query(L"SELECT ChassisTypes FROM Win32_SystemEnclosure");
    ASSERT_EQ(enclosures.size(), 1u);
    const Variant chassis = Get(enclosures[0], L"ChassisTypes");
    ASSERT_EQ(chassis.Type(), VT_ARRAY | VT_I4);
    SAFEARRAY* array = V_ARRAY(chassis.get());
    LONG upper = -1;
    SafeArrayGetUBound(array, 1, &upper);
    EXPECT_EQ(upper, 0);
    LONG index = 0;
    LONG first = 0;
    ASSERT_EQ(SafeArrayGetElement(array, &index, &first), S_OK);
    EXPECT_EQ(first, 10);
    CIMTYPE type = 0;
    Variant ignored;
    ASSERT_EQ(enclosures[0]->Get(L"ChassisTypes", 0, ignored.put(), &type, nullptr), S_OK);
    EXPECT_EQ(type, CIM_UINT16 | CIM_FLAG_ARRAY);

    const auto systems = Query(L"SELECT OEMStringArray FROM Win32_ComputerSystem");
    ASSERT_EQ(systems.size(), 1u);
    // Every string, the blank one included: ending the list there is the client's business.
    EXPECT_EQ(Texts(systems[0], L"OEMStringArray"),
              (std::vector<std::wstring>{L"abc", L"   ", L"EDK2_1"}));

    const auto products = Query(L"SELECT Name,Vendor FROM Win32_ComputerSystemProduct");
    ASSERT_EQ(products.size(), 1u);
    EXPECT_EQ(Text(products[0], L"Name"), L"Vantrel Book 14");
    EXPECT_EQ(Text(products[0], L"Vendor"), L"Vantrel");

    const auto batteries = Query(L"SELECT Name FROM Win32_Battery");
    ASSERT_EQ(batteries.size(), 1u);
    EXPECT_EQ(Text(batteries[0], L"Name"), L"VB-52");

    const auto bioses = Query(L"SELECT Name,Manufacturer,ReleaseDate FROM Win32_BIOS");
    ASSERT_EQ(bioses.size(), 1u);
    EXPECT_EQ(Text(bioses[0], L"Name"), L"1.17.0");
    EXPECT_EQ(Text(bioses[0], L"Manufacturer"), L"Vantrel");
    EXPECT_EQ(Text(bioses[0], L"ReleaseDate"), L"20240315000000.000000+000");
}

TEST_F(Cimv2ProviderTest, UnusableFilesGiveNullProperties) {
    tree.WriteAttribute("sys/class/dmi/id/chassis_type", "Notebook");
    tree.WriteAttribute("sys/class/dmi/id/bios_date", "2024-03-15");
    tree.WriteFile("sys/firmware/dmi/entries/11-0/raw", std::string("\x01\x05\x00\x00\x01", 5));
    // Not a prefix: "Vantrel" would make another maker's machine qualify.
    tree.WriteAttribute("sys/class/dmi/id/sys_vendor", std::string("Vantrel\0Evil Corp", 17));

    const auto enclosures = Query(L"SELECT ChassisTypes FROM Win32_SystemEnclosure");
    ASSERT_EQ(enclosures.size(), 1u);
    EXPECT_EQ(Get(enclosures[0], L"ChassisTypes").Type(), VT_NULL);

    const auto systems = Query(L"SELECT OEMStringArray FROM Win32_ComputerSystem");
    ASSERT_EQ(systems.size(), 1u);
    EXPECT_EQ(Get(systems[0], L"OEMStringArray").Type(), VT_NULL);

    const auto products = Query(L"SELECT Name,Vendor FROM Win32_ComputerSystemProduct");
    ASSERT_EQ(products.size(), 1u);
    EXPECT_EQ(Get(products[0], L"Name").Type(), VT_NULL);
    EXPECT_EQ(Get(products[0], L"Vendor").Type(), VT_NULL);

    const auto bioses = Query(L"SELECT Name,Manufacturer,ReleaseDate FROM Win32_BIOS");
    ASSERT_EQ(bioses.size(), 1u);
    EXPECT_EQ(Get(bioses[0], L"ReleaseDate").Type(), VT_NULL);
    EXPECT_EQ(Get(bioses[0], L"Manufacturer").Type(), VT_NULL);
}

TEST_F(Cimv2ProviderTest, MissingSourcesGiveNoInstances) {
    EXPECT_TRUE(Query(L"SELECT ChassisTypes FROM Win32_SystemEnclosure").empty());
    EXPECT_TRUE(Query(L"SELECT Name,Vendor FROM Win32_ComputerSystemProduct").empty());
    EXPECT_TRUE(Query(L"SELECT Name FROM Win32_Battery").empty());
    EXPECT_TRUE(Query(L"SELECT Name,Manufacturer,ReleaseDate FROM Win32_BIOS").empty());
    // The computer itself is always there, without OEM strings.
    const auto systems = Query(L"SELECT OEMStringArray FROM Win32_ComputerSystem");
    ASSERT_EQ(systems.size(), 1u);
    EXPECT_EQ(Get(systems[0], L"OEMStringArray").Type(), VT_NULL);
}

TEST_F(Cimv2ProviderTest, EveryBatteryIsAnInstanceAndQueriesSeeTheMachineAsItIsNow) {
    EXPECT_TRUE(Query(L"SELECT Name FROM Win32_Battery").empty());
    for (const char* name : {"BAT0", "BAT1", "hidpp_battery_0"}) {
        tree.WriteAttribute(std::string("sys/class/power_supply/") + name + "/type", "Battery");
    }
    tree.WriteAttribute("sys/class/power_supply/hidpp_battery_0/scope", "Device");
    const auto batteries = Query(L"SELECT Name FROM Win32_Battery");
    ASSERT_EQ(batteries.size(), 2u);
    EXPECT_EQ(Text(batteries[0], L"Name"), L"BAT0");
    EXPECT_EQ(Text(batteries[1], L"Name"), L"BAT1");
}

TEST_F(Cimv2ProviderTest, QueriesHonourTheirPropertyList) {
    tree.WriteAttribute("sys/class/dmi/id/bios_vendor", "Vantrel");
    tree.WriteAttribute("sys/class/dmi/id/bios_version", "1.17.0");
    const auto bioses = Query(L"SELECT Name FROM Win32_BIOS");
    ASSERT_EQ(bioses.size(), 1u);
    EXPECT_EQ(Text(bioses[0], L"Name"), L"1.17.0");
    EXPECT_EQ(Get(bioses[0], L"Manufacturer").Type(), VT_NULL);
}

}  // namespace
