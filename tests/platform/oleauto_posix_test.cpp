// What the Linux layer's OLE Automation leaves out answers so, never with a made-up value:
// Windows would convert these, so they cannot run under Wine.
#include "platform/owners.h"
#include "platform/platform.h"
#include "support/table_case.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

using ::PrintTo;

struct NotEmulatedCase {
    const char* name = "";
    VARTYPE sourceType = VT_EMPTY;
    const wchar_t* text = nullptr;  // for a VT_BSTR source
    USHORT flags = 0;
    VARTYPE target = VT_EMPTY;
    HRESULT expectedHr = S_OK;
};

class VariantChangeTypePosixTest : public testing::TestWithParam<NotEmulatedCase> {};

TEST_P(VariantChangeTypePosixTest, RefusesAndLeavesTheDestinationAsItWas) {
    const NotEmulatedCase& c = GetParam();
    UniqueVariant source;
    source.get()->vt = c.sourceType;
    if (c.sourceType == VT_BSTR) {
        source.get()->bstrVal = SysAllocString(c.text);
    } else {
        source.get()->llVal = 1;
    }
    UniqueVariant destination;
    destination.get()->vt = VT_I4;
    destination.get()->lVal = 77;
    EXPECT_EQ(VariantChangeType(destination.get(), source.get(), c.flags, c.target), c.expectedHr);
    EXPECT_EQ(destination.get()->vt, VT_I4);
    EXPECT_EQ(destination.get()->lVal, 77);
}

INSTANTIATE_TEST_SUITE_P(
    Table, VariantChangeTypePosixTest,
    testing::Values(
        NotEmulatedCase{
            .name = "RealToText", .sourceType = VT_R8, .target = VT_BSTR, .expectedHr = E_NOTIMPL},
        NotEmulatedCase{
            .name = "IntegerToReal", .sourceType = VT_I4, .target = VT_R8, .expectedHr = E_NOTIMPL},
        NotEmulatedCase{.name = "IntegerToBool",
                        .sourceType = VT_I4,
                        .target = VT_BOOL,
                        .expectedHr = E_NOTIMPL},
        NotEmulatedCase{.name = "DateToText",
                        .sourceType = VT_DATE,
                        .target = VT_BSTR,
                        .expectedHr = E_NOTIMPL},
        NotEmulatedCase{.name = "ByReference",
                        .sourceType = VT_I4 | VT_BYREF,
                        .target = VT_BSTR,
                        .expectedHr = E_NOTIMPL},
        NotEmulatedCase{.name = "Flags",
                        .sourceType = VT_BOOL,
                        .flags = 0x02 /*VARIANT_ALPHABOOL*/,
                        .target = VT_BSTR,
                        .expectedHr = E_NOTIMPL},
        NotEmulatedCase{.name = "ThousandsSeparator",
                        .sourceType = VT_BSTR,
                        .text = L"1,000",
                        .target = VT_I4,
                        .expectedHr = DISP_E_TYPEMISMATCH},
        NotEmulatedCase{.name = "HexLiteral",
                        .sourceType = VT_BSTR,
                        .text = L"&H10",
                        .target = VT_I4,
                        .expectedHr = DISP_E_TYPEMISMATCH},
        NotEmulatedCase{.name = "Fraction",
                        .sourceType = VT_BSTR,
                        .text = L"1.5",
                        .target = VT_I4,
                        .expectedHr = DISP_E_TYPEMISMATCH}),
    [](const testing::TestParamInfo<NotEmulatedCase>& row) { return std::string(row.param.name); });

TEST(SafeArrayPosixTest, OnlyIntegerAndStringVectors) {
    EXPECT_EQ(SafeArrayCreateVector(VT_R8, 0, 1), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_VARIANT, 0, 1), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_UNKNOWN, 0, 1), nullptr);
}

}  // namespace
