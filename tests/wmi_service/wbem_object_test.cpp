#include "platform/wbem_status.h"
#include "support/table_case.h"
#include "wmi_service/bstr.h"
#include "wmi_service/com_object.h"
#include "wmi_service/variant.h"
#include "wmi_service/wbem_object_builder.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

using wmi_service::Variant;
using wmi_service::WbemObjectBuilder;

namespace {

using ::PrintTo;

std::wstring Text(const Variant& value) {
    EXPECT_EQ(value.Type(), VT_BSTR);
    return value.Type() == VT_BSTR ? wmi_service::BstrText(V_BSTR(value.get())) : std::wstring();
}

Variant Read(IWbemClassObject* object, const wchar_t* name,
             HRESULT expected = Hr(WBEM_S_NO_ERROR)) {
    Variant value;
    EXPECT_EQ(object->Get(name, 0, value.put(), nullptr, nullptr), expected) << name;
    return value;
}

ComPtr<IWbemClassObject> Bios() {
    return WbemObjectBuilder(L"Win32_BIOS")
        .Key(L"Name")
        .Set(L"Name", L"1.2.3")
        .Set(L"Manufacturer", L"Vantrel")
        .Declare(L"ReleaseDate", CIM_DATETIME)
        .Set(L"BiosCharacteristics", std::vector<std::int32_t>{4, 7})
        .Namespace(L"root\\cimv2")
        .Build();
}

ComPtr<IWbemClassObject> SettingInterfaceClass() {
    auto in = WbemObjectBuilder::Parameters()
                  .Declare(L"Name", CIM_STRING)
                  .Declare(L"Value", CIM_STRING)
                  .Declare(L"Password", CIM_STRING)
                  .Build();
    auto out = WbemObjectBuilder::Parameters().Declare(L"Return", CIM_UINT32).Build();
    return WbemObjectBuilder::Class(L"Vantrel_BIOSSettingInterface")
        .Key(L"InstanceName")
        .Declare(L"InstanceName", CIM_STRING)
        .Declare(L"Count", CIM_UINT32)
        .Method(L"SetBIOSSetting", in, out)
        .Method(L"Reboot", nullptr, nullptr)
        .Namespace(L"root\\Vantrel\\InstrumentedBIOS")
        .Build();
}

TEST(WbemObjectTest, GetReturnsValueTypeAndFlavorWithNamesInAnyLetterCase) {
    auto bios = Bios();
    Variant value;
    CIMTYPE type = 0;
    LONG flavor = -1;
    ASSERT_EQ(bios->Get(L"MANUFACTURER", 0, value.put(), &type, &flavor), Hr(WBEM_S_NO_ERROR));
    EXPECT_EQ(Text(value), L"Vantrel");
    EXPECT_EQ(type, CIM_STRING);
    EXPECT_EQ(flavor, WBEM_FLAVOR_ORIGIN_LOCAL);
}

TEST(WbemObjectTest, DeclaredPropertyWithoutValueIsNullAndUnknownIsNotFound) {
    auto bios = Bios();
    CIMTYPE type = 0;
    Variant value;
    ASSERT_EQ(bios->Get(L"ReleaseDate", 0, value.put(), &type, nullptr), Hr(WBEM_S_NO_ERROR));
    EXPECT_EQ(value.Type(), VT_NULL);
    EXPECT_EQ(type, CIM_DATETIME);
    Read(bios.get(), L"NoSuchProperty", Hr(WBEM_E_NOT_FOUND));
    EXPECT_EQ(bios->Get(nullptr, 0, value.put(), nullptr, nullptr), Hr(WBEM_E_INVALID_PARAMETER));
}

TEST(WbemObjectTest, IntegerArrayIsDeliveredAsArrayOfInt32) {
    Variant value = Read(Bios().get(), L"BiosCharacteristics");
    ASSERT_EQ(value.Type(), VT_ARRAY | VT_I4);
    LONG upper = 0;
    ASSERT_EQ(SafeArrayGetUBound(V_ARRAY(value.get()), 1, &upper), S_OK);
    EXPECT_EQ(upper, 1);
    LONG index = 1;
    std::int32_t element = 0;
    ASSERT_EQ(SafeArrayGetElement(V_ARRAY(value.get()), &index, &element), S_OK);
    EXPECT_EQ(element, 7);
}

struct SystemCase {
    const char* name;
    bool instance = true;  // else the class
    const wchar_t* property = L"";
    const wchar_t* text = nullptr;  // null: the property reads as VT_NULL
};

class WbemObjectSystemPropertyTest : public testing::TestWithParam<SystemCase> {};

TEST_P(WbemObjectSystemPropertyTest, ReadsAsWmiGivesIt) {
    const SystemCase& c = GetParam();
    auto object = c.instance ? Bios() : SettingInterfaceClass();
    CIMTYPE type = 0;
    LONG flavor = 0;
    Variant value;
    ASSERT_EQ(object->Get(c.property, 0, value.put(), &type, &flavor), Hr(WBEM_S_NO_ERROR));
    EXPECT_EQ(flavor, WBEM_FLAVOR_ORIGIN_SYSTEM);
    if (c.text) {
        EXPECT_EQ(Text(value), c.text);
    } else {
        EXPECT_EQ(value.Type(), VT_NULL);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WbemObjectSystemPropertyTest,
    testing::Values(
        SystemCase{.name = "InstanceClass", .property = L"__CLASS", .text = L"Win32_BIOS"},
        SystemCase{.name = "InstanceRelativePath",
                   .property = L"__RELPATH",
                   .text = L"Win32_BIOS.Name=\"1.2.3\""},
        SystemCase{.name = "InstancePath",
                   .property = L"__PATH",
                   .text = L"\\\\.\\root\\cimv2:Win32_BIOS.Name=\"1.2.3\""},
        SystemCase{.name = "InstanceNamespace", .property = L"__namespace", .text = L"root\\cimv2"},
        SystemCase{.name = "InstanceServer", .property = L"__SERVER", .text = L"."},
        SystemCase{.name = "ClassRelativePath",
                   .instance = false,
                   .property = L"__RELPATH",
                   .text = L"Vantrel_BIOSSettingInterface"},
        SystemCase{.name = "ClassPath",
                   .instance = false,
                   .property = L"__PATH",
                   .text = L"\\\\.\\root\\Vantrel\\InstrumentedBIOS:Vantrel_BIOSSettingInterface"},
        SystemCase{.name = "Superclass", .instance = false, .property = L"__SUPERCLASS"}),
    CaseName());

TEST(WbemObjectTest, GenusTellsClassFromInstance) {
    EXPECT_EQ(V_I4(Read(Bios().get(), L"__GENUS").get()), WBEM_GENUS_INSTANCE);
    EXPECT_EQ(V_I4(Read(SettingInterfaceClass().get(), L"__GENUS").get()), WBEM_GENUS_CLASS);
}

TEST(WbemObjectTest, PathFollowsKeysAndExplicitPathWins) {
    // No namespace: no __PATH, but a relative path.
    auto loose = WbemObjectBuilder(L"Thing").Key(L"Id").Set(L"Id", 7).Build();
    EXPECT_EQ(Read(loose.get(), L"__PATH").Type(), VT_NULL);
    EXPECT_EQ(Text(Read(loose.get(), L"__RELPATH")), L"Thing.Id=7");
    // No keys: an instance has no path at all.
    auto keyless = WbemObjectBuilder(L"Thing").Set(L"Id", 7).Namespace(L"root\\x").Build();
    EXPECT_EQ(Read(keyless.get(), L"__RELPATH").Type(), VT_NULL);
    EXPECT_EQ(Read(keyless.get(), L"__PATH").Type(), VT_NULL);
    // Quotes and backslashes in key text are escaped.
    auto quoted = WbemObjectBuilder(L"Thing").Key(L"Name").Set(L"Name", L"a\"b\\c").Build();
    EXPECT_EQ(Text(Read(quoted.get(), L"__RELPATH")), L"Thing.Name=\"a\\\"b\\\\c\"");
    auto explicitPath = WbemObjectBuilder(L"Thing").Path(L"\\\\HOST\\root\\x:Thing=@").Build();
    EXPECT_EQ(Text(Read(explicitPath.get(), L"__PATH")), L"\\\\HOST\\root\\x:Thing=@");
}

TEST(WbemObjectTest, SpawnInstanceGivesTheClassPropertiesWithNullValues) {
    auto cls = SettingInterfaceClass();
    ComPtr<IWbemClassObject> in;
    ASSERT_EQ(cls->GetMethod(L"SetBIOSSetting", 0, in.put(), nullptr), Hr(WBEM_S_NO_ERROR));
    ComPtr<IWbemClassObject> args;
    ASSERT_EQ(in->SpawnInstance(0, args.put()), Hr(WBEM_S_NO_ERROR));
    EXPECT_EQ(Read(args.get(), L"Password").Type(), VT_NULL);
    EXPECT_EQ(V_I4(Read(args.get(), L"__GENUS").get()), WBEM_GENUS_INSTANCE);
    EXPECT_EQ(Text(Read(args.get(), L"__CLASS")), L"__PARAMETERS");

    ComPtr<IWbemClassObject> again;
    EXPECT_EQ(args->SpawnInstance(0, again.put()), Hr(WBEM_E_INVALID_OPERATION));
    EXPECT_FALSE(again);
}

TEST(WbemObjectTest, GetMethodHandsOutEitherSignatureAndNullForNone) {
    auto cls = SettingInterfaceClass();
    ComPtr<IWbemClassObject> in;
    ComPtr<IWbemClassObject> out;
    ASSERT_EQ(cls->GetMethod(L"setbiossetting", 0, in.put(), out.put()), Hr(WBEM_S_NO_ERROR));
    EXPECT_TRUE(in);
    ASSERT_TRUE(out);
    CIMTYPE type = 0;
    EXPECT_EQ(out->Get(L"Return", 0, nullptr, &type, nullptr), Hr(WBEM_S_NO_ERROR));
    EXPECT_EQ(type, CIM_UINT32);

    ASSERT_EQ(cls->GetMethod(L"Reboot", 0, in.put(), out.put()), Hr(WBEM_S_NO_ERROR));
    EXPECT_FALSE(in);
    EXPECT_FALSE(out);
    EXPECT_EQ(cls->GetMethod(L"NoSuchMethod", 0, in.put(), nullptr), Hr(WBEM_E_NOT_FOUND));
}

struct PutCase {
    const char* name;
    CIMTYPE declared = CIM_STRING;
    Variant value = Variant::Null();
    CIMTYPE typeArgument = 0;
    HRESULT result = Hr(WBEM_S_NO_ERROR);
    VARTYPE stored = VT_EMPTY;  // VT_EMPTY: not looked at
};

class WbemObjectPutTest : public testing::TestWithParam<PutCase> {};

TEST_P(WbemObjectPutTest, StoresAsTheDeclaredTypeOrRefuses) {
    const PutCase& c = GetParam();
    auto cls = WbemObjectBuilder::Class(L"Thing").Declare(L"P", c.declared).Build();
    ComPtr<IWbemClassObject> instance;
    ASSERT_EQ(cls->SpawnInstance(0, instance.put()), Hr(WBEM_S_NO_ERROR));
    Variant value = c.value;
    EXPECT_EQ(instance->Put(L"p", 0, value.get(), c.typeArgument), c.result);
    CIMTYPE type = 0;
    Variant stored;
    ASSERT_EQ(instance->Get(L"P", 0, stored.put(), &type, nullptr), Hr(WBEM_S_NO_ERROR));
    EXPECT_EQ(type, c.declared);
    if (c.stored != VT_EMPTY) {
        EXPECT_EQ(stored.Type(), c.stored);
    }
    if (FAILED(c.result)) {
        EXPECT_EQ(stored.Type(), VT_NULL) << "a refused Put changes nothing";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WbemObjectPutTest,
    testing::Values(
        PutCase{.name = "TextKeepsDeclaredType", .value = Variant::String(L"x"), .stored = VT_BSTR},
        PutCase{.name = "MatchingTypeArgument",
                .value = Variant::String(L"x"),
                .typeArgument = CIM_STRING,
                .stored = VT_BSTR},
        PutCase{.name = "OtherTypeArgument",
                .value = Variant::String(L"x"),
                .typeArgument = CIM_UINT32,
                .result = Hr(WBEM_E_TYPE_MISMATCH)},
        PutCase{.name = "UnsignedBecomesInt32",
                .declared = CIM_UINT32,
                .value = Variant::UInt32(5),
                .stored = VT_I4},
        PutCase{.name = "DigitsBecomeInteger",
                .declared = CIM_UINT16,
                .value = Variant::String(L"12"),
                .stored = VT_I4},
        PutCase{.name = "IntegerBecomesText", .value = Variant::Int32(12), .stored = VT_BSTR},
        PutCase{.name = "WordsAreNoInteger",
                .declared = CIM_UINT32,
                .value = Variant::String(L"many"),
                .result = Hr(WBEM_E_TYPE_MISMATCH)},
        PutCase{.name = "ArrayOfOtherType",
                .declared = CIM_STRING | CIM_FLAG_ARRAY,
                .value = Variant::Int32s({1}),
                .result = Hr(WBEM_E_TYPE_MISMATCH)},
        PutCase{.name = "ArrayOfDeliveredType",
                .declared = CIM_UINT16 | CIM_FLAG_ARRAY,
                .value = Variant::Int32s({3, 10}),
                .stored = VT_ARRAY | VT_I4},
        PutCase{.name = "NullClearsValue", .value = Variant::Null(), .stored = VT_NULL}),
    CaseName());

TEST(WbemObjectTest, PutOfUnknownNameFailsOnInstanceAndAddsToClass) {
    Variant value = Variant::String(L"x");
    EXPECT_EQ(Bios()->Put(L"NoSuchProperty", 0, value.get(), 0), Hr(WBEM_E_NOT_FOUND));
    EXPECT_EQ(Bios()->Put(L"__CLASS", 0, value.get(), 0), Hr(WBEM_E_READ_ONLY));

    auto cls = WbemObjectBuilder::Class(L"Thing").Build();
    ASSERT_EQ(cls->Put(L"Added", 0, value.get(), 0), Hr(WBEM_S_NO_ERROR));
    CIMTYPE type = 0;
    EXPECT_EQ(cls->Get(L"added", 0, nullptr, &type, nullptr), Hr(WBEM_S_NO_ERROR));
    EXPECT_EQ(type, CIM_STRING);
}

TEST(WbemObjectTest, CloneIsIndependentOfTheOriginal) {
    auto bios = Bios();
    ComPtr<IWbemClassObject> copy;
    ASSERT_EQ(bios->Clone(copy.put()), Hr(WBEM_S_NO_ERROR));
    Variant value = Variant::String(L"Other");
    ASSERT_EQ(copy->Put(L"Manufacturer", 0, value.get(), 0), Hr(WBEM_S_NO_ERROR));
    EXPECT_EQ(Text(Read(bios.get(), L"Manufacturer")), L"Vantrel");
    EXPECT_EQ(Text(Read(copy.get(), L"Manufacturer")), L"Other");
}

TEST(WbemObjectTest, AnswersOnlyItsOwnInterfaces) {
    auto bios = Bios();
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(bios->QueryInterface(IID_IUnknown, unknown.put_void()), S_OK);
    ComPtr<IWbemServices> services;
    EXPECT_EQ(bios->QueryInterface(IID_IWbemServices, services.put_void()), E_NOINTERFACE);
    EXPECT_FALSE(services);
}

}  // namespace
