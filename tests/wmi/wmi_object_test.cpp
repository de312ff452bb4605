#include "wmi/wmi_object.h"

#include "platform/wbem_status.h"
#include "support/fake_wmi.h"
#include "support/table_case.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using ::PrintTo;

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr wchar_t kProperty[] = L"Prop";

// An object of a test class whose one property holds `value`.
WmiObject ObjectWith(Variant value, CIMTYPE type) {
    WmiObject object;
    object.object = WbemObjectBuilder(L"Test_Thing").Set(kProperty, std::move(value), type).Build();
    return object;
}

// A VT_BSTR of exactly `length` code units (embedded NULs kept), or a null BSTR.
Variant Bstr(const wchar_t* text, UINT length) {
    Variant value;
    VARIANT* raw = value.put();
    raw->vt = VT_BSTR;
    raw->bstrVal = text ? SysAllocStringLen(text, length) : nullptr;
    return value;
}

// VT_ARRAY | VT_I2: a 16-bit array, narrower than the 32-bit form WMI usually delivers.
Variant Int16s(const std::vector<SHORT>& items) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_I2, 0, static_cast<ULONG>(items.size()));
    for (LONG i = 0; i < static_cast<LONG>(items.size()); ++i) {
        SHORT item = items[static_cast<std::size_t>(i)];
        SafeArrayPutElement(array, &i, &item);
    }
    Variant value;
    VARIANT* raw = value.put();
    raw->vt = static_cast<VARTYPE>(VT_ARRAY | VT_I2);
    raw->parray = array;
    return value;
}

template <typename Expected>
struct ReaderCase {
    const char* name;
    std::function<Variant()> value = [] { return Variant::Null(); };
    CIMTYPE type = CIM_STRING;
    HRESULT result = S_OK;
    Expected output = {};
};

// --- GetString ---

using StringCase = ReaderCase<std::wstring>;
class GetStringTest : public testing::TestWithParam<StringCase> {};

TEST_P(GetStringTest, ReadsValueAsText) {
    const StringCase& c = GetParam();
    const WmiObject object = ObjectWith(c.value(), c.type);
    std::wstring text = L"left over";
    EXPECT_EQ(object.GetString(kProperty, text), c.result);
    EXPECT_EQ(text, c.output);
}

INSTANTIATE_TEST_SUITE_P(
    Values, GetStringTest,
    testing::Values(
        StringCase{"Text", [] { return Variant::String(L"Vantrel"); }, CIM_STRING, S_OK,
                   L"Vantrel"},
        StringCase{"Null", [] { return Variant::Null(); }, CIM_STRING, S_OK, L""},
        StringCase{"NullBstr", [] { return Bstr(nullptr, 0); }, CIM_STRING, S_OK, L""},
        StringCase{"TextEndsAtNul", [] { return Bstr(L"ab\0cd", 5); }, CIM_STRING, S_OK, L"ab"},
        StringCase{"IntegerOne", [] { return Variant::Int32(1); }, CIM_SINT32, S_OK, L"1"},
        StringCase{"NegativeInteger", [] { return Variant::Int32(-42); }, CIM_SINT32, S_OK, L"-42"},
        StringCase{"UnsignedInteger", [] { return Variant::UInt32(4000000000u); }, CIM_UINT32, S_OK,
                   L"4000000000"},
        StringCase{"ArrayIsNoText", [] { return Variant::Strings({L"A"}); },
                   static_cast<CIMTYPE>(CIM_STRING | CIM_FLAG_ARRAY), Hr(WBEM_E_TYPE_MISMATCH),
                   L""}),
    CaseName());

// --- GetStringArray ---

using StringArrayCase = ReaderCase<std::vector<std::wstring>>;
class GetStringArrayTest : public testing::TestWithParam<StringArrayCase> {};

TEST_P(GetStringArrayTest, ReadsListUpToFirstBlankElement) {
    const StringArrayCase& c = GetParam();
    const WmiObject object = ObjectWith(c.value(), c.type);
    std::vector<std::wstring> list = {L"left", L"over"};
    EXPECT_EQ(object.GetStringArray(kProperty, list), c.result);
    EXPECT_EQ(list, c.output);
}

constexpr CIMTYPE kStringArray = static_cast<CIMTYPE>(CIM_STRING | CIM_FLAG_ARRAY);
constexpr CIMTYPE kInt32Array = static_cast<CIMTYPE>(CIM_SINT32 | CIM_FLAG_ARRAY);

INSTANTIATE_TEST_SUITE_P(
    Values, GetStringArrayTest,
    testing::Values(StringArrayCase{"AllElements",
                                    [] {
                                        return Variant::Strings({L"A", L"B"});
                                    },
                                    kStringArray,
                                    S_OK,
                                    {L"A", L"B"}},
                    StringArrayCase{"BlankElementEndsList",
                                    [] {
                                        return Variant::Strings({L"A", L"B", L"   ", L"C"});
                                    },
                                    kStringArray,
                                    S_OK,
                                    {L"A", L"B"}},
                    StringArrayCase{"EmptyFirstElementGivesEmptyList",
                                    [] {
                                        return Variant::Strings({L"", L"X"});
                                    },
                                    kStringArray,
                                    S_OK,
                                    {}},
                    StringArrayCase{"OnlyBlanksCountAsBlank",
                                    [] {
                                        return Variant::Strings({L"A", L"\t", L" B "});
                                    },
                                    kStringArray,
                                    S_OK,
                                    {L"A", L"\t", L" B "}},
                    StringArrayCase{
                        "EmptyArray", [] { return Variant::Strings({}); }, kStringArray, S_OK, {}},
                    StringArrayCase{"Null", [] { return Variant::Null(); }, kStringArray, S_OK, {}},
                    StringArrayCase{"SingleTextIsNoList",
                                    [] { return Variant::String(L"A"); },
                                    CIM_STRING,
                                    Hr(WBEM_E_TYPE_MISMATCH),
                                    {}},
                    StringArrayCase{"IntegerArrayIsNoTextList",
                                    [] {
                                        return Variant::Int32s({1, 2});
                                    },
                                    kInt32Array,
                                    Hr(WBEM_E_TYPE_MISMATCH),
                                    {}}),
    CaseName());

// --- GetUInt16Array ---

using UInt16ArrayCase = ReaderCase<std::vector<std::uint16_t>>;
class GetUInt16ArrayTest : public testing::TestWithParam<UInt16ArrayCase> {};

TEST_P(GetUInt16ArrayTest, ReadsElementsAs16Bits) {
    const UInt16ArrayCase& c = GetParam();
    const WmiObject object = ObjectWith(c.value(), c.type);
    std::vector<std::uint16_t> list = {99};
    EXPECT_EQ(object.GetUInt16Array(kProperty, list), c.result);
    EXPECT_EQ(list, c.output);
}

INSTANTIATE_TEST_SUITE_P(
    Values, GetUInt16ArrayTest,
    testing::Values(UInt16ArrayCase{"Int32Elements",
                                    [] {
                                        return Variant::Int32s({3, 10});
                                    },
                                    kInt32Array,
                                    S_OK,
                                    {3, 10}},
                    UInt16ArrayCase{"NarrowedTo16Bits",
                                    [] {
                                        return Variant::Int32s({65537, -1});
                                    },
                                    kInt32Array,
                                    S_OK,
                                    {1, 65535}},
                    UInt16ArrayCase{"Int16ElementsReadAtTheirWidth",
                                    [] {
                                        return Int16s({7, 8, 9});
                                    },
                                    static_cast<CIMTYPE>(CIM_SINT16 | CIM_FLAG_ARRAY),
                                    S_OK,
                                    {7, 8, 9}},
                    UInt16ArrayCase{
                        "EmptyArray", [] { return Variant::Int32s({}); }, kInt32Array, S_OK, {}},
                    UInt16ArrayCase{"Null", [] { return Variant::Null(); }, kInt32Array, S_OK, {}},
                    UInt16ArrayCase{"SingleIntegerIsNoList",
                                    [] { return Variant::Int32(3); },
                                    CIM_SINT32,
                                    Hr(WBEM_E_TYPE_MISMATCH),
                                    {}},
                    UInt16ArrayCase{"TextElementsAreNoIntegers",
                                    [] { return Variant::Strings({L"3"}); },
                                    kStringArray,
                                    Hr(WBEM_E_TYPE_MISMATCH),
                                    {}}),
    CaseName());

// --- What all readers share ---

TEST(WmiObjectTest, EmptyHolderGivesInvalidObjectAndClearsOutputs) {
    const WmiObject empty;
    std::wstring text = L"left over";
    std::vector<std::wstring> strings = {L"left over"};
    std::vector<std::uint16_t> numbers = {1};
    const auto invalidObject = Hr(WBEM_E_INVALID_OBJECT);
    EXPECT_EQ(empty.GetString(kProperty, text), invalidObject);
    EXPECT_EQ(empty.GetStringArray(kProperty, strings), invalidObject);
    EXPECT_EQ(empty.GetUInt16Array(kProperty, numbers), invalidObject);
    EXPECT_THAT(text, IsEmpty());
    EXPECT_THAT(strings, IsEmpty());
    EXPECT_THAT(numbers, IsEmpty());
}

TEST(WmiObjectTest, FailedGetIsPassedOnAndClearsOutputs) {
    const WmiObject object = ObjectWith(Variant::String(L"x"), CIM_STRING);
    std::wstring text = L"left over";
    std::vector<std::wstring> strings = {L"left over"};
    std::vector<std::uint16_t> numbers = {1};
    const auto notFound = Hr(WBEM_E_NOT_FOUND);
    EXPECT_EQ(object.GetString(L"NoSuchProperty", text), notFound);
    EXPECT_EQ(object.GetStringArray(L"NoSuchProperty", strings), notFound);
    EXPECT_EQ(object.GetUInt16Array(L"NoSuchProperty", numbers), notFound);
    EXPECT_THAT(text, IsEmpty());
    EXPECT_THAT(strings, IsEmpty());
    EXPECT_THAT(numbers, IsEmpty());
}

TEST(WmiObjectTest, StringArrayReadKeepsListCapacity) {
    const WmiObject object = ObjectWith(Variant::Strings({L"A"}), kStringArray);
    std::vector<std::wstring> list;
    list.reserve(16);
    const auto capacity = list.capacity();
    ASSERT_EQ(object.GetStringArray(kProperty, list), S_OK);
    EXPECT_THAT(list, ElementsAre(L"A"));
    EXPECT_EQ(list.capacity(), capacity);
}

}  // namespace
