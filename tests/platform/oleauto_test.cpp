// BSTR, VARIANT and SAFEARRAY behaviour that the system relies on. The same tests run against
// Wine's oleaut32 in the Windows build, which pins the Linux layer to it.
#include "platform/owners.h"
#include "platform/platform.h"
#include "support/table_case.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <ostream>
#include <string>

namespace {

using ::PrintTo;

// Test-local owner of a SAFEARRAY that a case may leave locked.
class Array {
  public:
    explicit Array(SAFEARRAY* owned) : value_(owned) {}
    ~Array() {
        while (value_ && value_->cLocks > 0) SafeArrayUnaccessData(value_);
        SafeArrayDestroy(value_);
    }
    Array(const Array&) = delete;
    Array& operator=(const Array&) = delete;
    SAFEARRAY* get() const { return value_; }
    SAFEARRAY* release() {
        SAFEARRAY* out = value_;
        value_ = nullptr;
        return out;
    }

  private:
    SAFEARRAY* value_;
};

std::wstring Text(BSTR bstr) { return bstr ? std::wstring(bstr, SysStringLen(bstr)) : L"(null)"; }

// The value of a conversion result as text, for comparison with a table.
std::wstring Render(const VARIANT& v) {
    switch (v.vt) {
        case VT_EMPTY:
            return L"(empty)";
        case VT_NULL:
            return L"(null)";
        case VT_BSTR:
            return Text(v.bstrVal);
        case VT_BOOL:
            return std::to_wstring(v.boolVal);
        case VT_I1:
            return std::to_wstring(static_cast<int>(static_cast<signed char>(v.cVal)));
        case VT_UI1:
            return std::to_wstring(v.bVal);
        case VT_I2:
            return std::to_wstring(v.iVal);
        case VT_UI2:
            return std::to_wstring(v.uiVal);
        case VT_I4:
            return std::to_wstring(v.lVal);
        case VT_UI4:
            return std::to_wstring(v.ulVal);
        case VT_INT:
            return std::to_wstring(v.intVal);
        case VT_UINT:
            return std::to_wstring(v.uintVal);
        case VT_I8:
            return std::to_wstring(v.llVal);
        case VT_UI8:
            return std::to_wstring(v.ullVal);
        default:
            return L"(vt " + std::to_wstring(v.vt) + L")";
    }
}

// --- BSTR ---------------------------------------------------------------------------------

TEST(BstrTest, KeepsEmbeddedNulsAndCountsCharacters) {
    const wchar_t text[] = {L'a', L'\0', L'b'};
    UniqueBstr bstr(SysAllocStringLen(text, 3));
    ASSERT_NE(bstr.get(), nullptr);
    EXPECT_EQ(SysStringLen(bstr.get()), 3u);
    EXPECT_EQ(std::wstring(bstr.get(), 3), std::wstring(text, 3));
    EXPECT_EQ(bstr.get()[3], L'\0');  // terminated after the counted characters
}

TEST(BstrTest, NullAndEmptyStrings) {
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    UniqueBstr empty(SysAllocString(L""));
    ASSERT_NE(empty.get(), nullptr);
    EXPECT_EQ(SysStringLen(empty.get()), 0u);
}

// --- VariantChangeType --------------------------------------------------------------------

struct Source {
    VARTYPE vt;
    long long integer;
    const wchar_t* text;
};

Source Int(VARTYPE vt, long long value) { return {.vt = vt, .integer = value, .text = nullptr}; }
Source Str(const wchar_t* text) { return {.vt = VT_BSTR, .integer = 0, .text = text}; }
Source Of(VARTYPE vt) { return {.vt = vt, .integer = 0, .text = nullptr}; }

void Fill(const Source& source, UniqueVariant& v) {
    v.get()->vt = source.vt;
    switch (source.vt) {
        case VT_I1:
            v.get()->cVal = static_cast<CHAR>(source.integer);
            break;
        case VT_UI1:
            v.get()->bVal = static_cast<BYTE>(source.integer);
            break;
        case VT_I2:
        case VT_BOOL:
            v.get()->iVal = static_cast<SHORT>(source.integer);
            break;
        case VT_UI2:
            v.get()->uiVal = static_cast<USHORT>(source.integer);
            break;
        case VT_I4:
        case VT_ERROR:
            v.get()->lVal = static_cast<LONG>(source.integer);
            break;
        case VT_UI4:
            v.get()->ulVal = static_cast<ULONG>(source.integer);
            break;
        case VT_INT:
            v.get()->intVal = static_cast<INT>(source.integer);
            break;
        case VT_UINT:
            v.get()->uintVal = static_cast<UINT>(source.integer);
            break;
        case VT_I8:
            v.get()->llVal = source.integer;
            break;
        case VT_UI8:
            v.get()->ullVal = static_cast<ULONGLONG>(source.integer);
            break;
        case VT_BSTR:
            v.get()->bstrVal = SysAllocString(source.text);
            break;
        default:
            break;
    }
}

struct ConversionCase {
    const char* name;
    Source source = Of(VT_EMPTY);
    VARTYPE target = VT_EMPTY;
    HRESULT expectedHr = S_OK;
    const wchar_t* expected = nullptr;  // the rendered result when expectedHr is S_OK
};

// Named by its row, not dumped byte by byte (padding would be read uninitialised).

class VariantChangeTypeTest : public testing::TestWithParam<ConversionCase> {};

TEST_P(VariantChangeTypeTest, ConvertsAsWindowsDoes) {
    const ConversionCase& c = GetParam();
    UniqueVariant source;
    Fill(c.source, source);
    UniqueVariant result;
    const HRESULT hr = VariantChangeType(result.get(), source.get(), /*wFlags=*/0, c.target);
    ASSERT_EQ(hr, c.expectedHr);
    if (SUCCEEDED(hr)) {
        EXPECT_EQ(result.get()->vt, c.target);
        EXPECT_EQ(Render(*result.get()), c.expected);
    } else {
        EXPECT_EQ(result.get()->vt, VT_EMPTY);
    }
}

constexpr long long kI4Min = -2147483647LL - 1;
constexpr long long kI8Min = -9223372036854775807LL - 1;

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Table, VariantChangeTypeTest,
    testing::Values(
        // Integers of every width become their decimal text.
        ConversionCase{.name = "I1ToText", .source = Int(VT_I1, -128),
                       .target = VT_BSTR, .expected = L"-128"},
        ConversionCase{.name = "UI1ToText", .source = Int(VT_UI1, 255),
                       .target = VT_BSTR, .expected = L"255"},
        ConversionCase{.name = "I2ToText", .source = Int(VT_I2, -32768),
                       .target = VT_BSTR, .expected = L"-32768"},
        ConversionCase{.name = "UI2ToText", .source = Int(VT_UI2, 65535),
                       .target = VT_BSTR, .expected = L"65535"},
        ConversionCase{.name = "I4ToText", .source = Int(VT_I4, kI4Min),
                       .target = VT_BSTR, .expected = L"-2147483648"},
        ConversionCase{.name = "I4OneToText", .source = Int(VT_I4, 1),
                       .target = VT_BSTR, .expected = L"1"},
        ConversionCase{.name = "UI4ToText", .source = Int(VT_UI4, 4294967295LL),
                       .target = VT_BSTR, .expected = L"4294967295"},
        ConversionCase{.name = "IntToText", .source = Int(VT_INT, -7),
                       .target = VT_BSTR, .expected = L"-7"},
        ConversionCase{.name = "UintToText", .source = Int(VT_UINT, 4000000000LL),
                       .target = VT_BSTR, .expected = L"4000000000"},
        ConversionCase{.name = "I8ToText", .source = Int(VT_I8, kI8Min),
                       .target = VT_BSTR, .expected = L"-9223372036854775808"},
        ConversionCase{.name = "UI8ToText", .source = Int(VT_UI8, -1),
                       .target = VT_BSTR, .expected = L"18446744073709551615"},
        ConversionCase{.name = "BoolTrueToText", .source = Int(VT_BOOL, VARIANT_TRUE),
                       .target = VT_BSTR, .expected = L"-1"},
        ConversionCase{.name = "BoolFalseToText", .source = Int(VT_BOOL, VARIANT_FALSE),
                       .target = VT_BSTR, .expected = L"0"},
        ConversionCase{.name = "EmptyToText", .source = Of(VT_EMPTY),
                       .target = VT_BSTR, .expected = L""},
        ConversionCase{.name = "NullToText", .source = Of(VT_NULL),
                       .target = VT_BSTR, .expectedHr = DISP_E_TYPEMISMATCH},
        ConversionCase{.name = "ErrorToText", .source = Int(VT_ERROR, 5),
                       .target = VT_BSTR, .expectedHr = DISP_E_TYPEMISMATCH},
        // The return-code conversion: VT_UINT.
        ConversionCase{.name = "I4ToUint", .source = Int(VT_I4, 1),
                       .target = VT_UINT, .expected = L"1"},
        ConversionCase{.name = "NegativeI4ToUintKeepsBits", .source = Int(VT_I4, -1),
                       .target = VT_UINT, .expected = L"4294967295"},
        ConversionCase{.name = "NegativeIntToUintKeepsBits", .source = Int(VT_INT, -7),
                       .target = VT_UINT, .expected = L"4294967289"},
        ConversionCase{.name = "NegativeI2ToUint", .source = Int(VT_I2, -1),
                       .target = VT_UINT, .expectedHr = DISP_E_OVERFLOW},
        ConversionCase{.name = "NegativeI1ToUint", .source = Int(VT_I1, -128),
                       .target = VT_UINT, .expectedHr = DISP_E_OVERFLOW},
        ConversionCase{.name = "NegativeI8ToUint", .source = Int(VT_I8, -1),
                       .target = VT_UINT, .expectedHr = DISP_E_OVERFLOW},
        ConversionCase{.name = "LargeI8ToUint", .source = Int(VT_I8, 4294967296LL),
                       .target = VT_UINT, .expectedHr = DISP_E_OVERFLOW},
        ConversionCase{.name = "UI4ToUint", .source = Int(VT_UI4, 4294967295LL),
                       .target = VT_UINT, .expected = L"4294967295"},
        ConversionCase{.name = "BoolToUint", .source = Int(VT_BOOL, VARIANT_TRUE),
                       .target = VT_UINT, .expected = L"4294967295"},
        ConversionCase{.name = "TextToUint", .source = Str(L"42"),
                       .target = VT_UINT, .expected = L"42"},
        ConversionCase{.name = "NegativeTextToUint", .source = Str(L"-1"),
                       .target = VT_UINT, .expectedHr = DISP_E_OVERFLOW},
        ConversionCase{.name = "HugeTextToUint", .source = Str(L"4294967296"),
                       .target = VT_UINT, .expectedHr = DISP_E_OVERFLOW},
        ConversionCase{.name = "WordToUint", .source = Str(L"abc"),
                       .target = VT_UINT, .expectedHr = DISP_E_TYPEMISMATCH},
        ConversionCase{.name = "EmptyTextToUint", .source = Str(L""),
                       .target = VT_UINT, .expectedHr = DISP_E_TYPEMISMATCH},
        ConversionCase{.name = "EmptyToUint", .source = Of(VT_EMPTY),
                       .target = VT_UINT, .expected = L"0"},
        ConversionCase{.name = "NullToUint", .source = Of(VT_NULL),
                       .target = VT_UINT, .expectedHr = DISP_E_TYPEMISMATCH},
        // Text to integers.
        ConversionCase{.name = "BlanksAroundDigits", .source = Str(L" 42 "),
                       .target = VT_I4, .expected = L"42"},
        ConversionCase{.name = "TabBeforeDigits", .source = Str(L"\t5"),
                       .target = VT_I4, .expected = L"5"},
        ConversionCase{.name = "PlusSign", .source = Str(L"+7"),
                       .target = VT_I4, .expected = L"7"},
        ConversionCase{.name = "SmallestI4", .source = Str(L"-2147483648"),
                       .target = VT_I4, .expected = L"-2147483648"},
        ConversionCase{.name = "TooLargeForI4", .source = Str(L"4294967295"),
                       .target = VT_I4, .expectedHr = DISP_E_OVERFLOW},
        ConversionCase{.name = "TooLargeForI2", .source = Str(L"4294967295"),
                       .target = VT_I2, .expectedHr = DISP_E_OVERFLOW},
        ConversionCase{.name = "LargeTextToI8", .source = Str(L"4294967296"),
                       .target = VT_I8, .expected = L"4294967296"},
        ConversionCase{.name = "TrailingLetters", .source = Str(L"12abc"),
                       .target = VT_I4, .expectedHr = DISP_E_TYPEMISMATCH},
        ConversionCase{.name = "CPrefixIsNotHex", .source = Str(L"0x10"),
                       .target = VT_I4, .expectedHr = DISP_E_TYPEMISMATCH},
        ConversionCase{.name = "BlanksOnly", .source = Str(L"  "),
                       .target = VT_I4, .expectedHr = DISP_E_TYPEMISMATCH},
        ConversionCase{.name = "TrueTextToInteger", .source = Str(L"True"),
                       .target = VT_I4, .expectedHr = DISP_E_TYPEMISMATCH},
        // Between integers: range checks, except between the signed and unsigned type of one width.
        ConversionCase{.name = "UI2ToI2KeepsBits", .source = Int(VT_UI2, 65535),
                       .target = VT_I2, .expected = L"-1"},
        ConversionCase{.name = "UintToI4KeepsBits", .source = Int(VT_UINT, 4000000000LL),
                       .target = VT_I4, .expected = L"-294967296"},
        ConversionCase{.name = "NegativeI4ToUI1", .source = Int(VT_I4, -1),
                       .target = VT_UI1, .expectedHr = DISP_E_OVERFLOW},
        ConversionCase{.name = "UI4ToI2", .source = Int(VT_UI4, 4294967295LL),
                       .target = VT_I2, .expectedHr = DISP_E_OVERFLOW},
        ConversionCase{.name = "I4ToI2InRange", .source = Int(VT_I4, -32768),
                       .target = VT_I2, .expected = L"-32768"},
        // Anything becomes empty or null, except an error code; null becomes nothing else.
        ConversionCase{.name = "I4ToEmpty", .source = Int(VT_I4, 3),
                       .target = VT_EMPTY, .expected = L"(empty)"},
        ConversionCase{.name = "I4ToNull", .source = Int(VT_I4, 3),
                       .target = VT_NULL, .expected = L"(null)"},
        ConversionCase{.name = "NullToEmpty", .source = Of(VT_NULL),
                       .target = VT_EMPTY, .expectedHr = DISP_E_TYPEMISMATCH},
        ConversionCase{.name = "UnknownTarget", .source = Int(VT_I4, 3), .target = VT_UNKNOWN,
                       .expectedHr = DISP_E_TYPEMISMATCH},
        ConversionCase{.name = "InvalidTarget", .source = Int(VT_I4, 3),
                       .target = VARTYPE{15}, .expectedHr = DISP_E_BADVARTYPE},
        ConversionCase{.name = "InvalidSource", .source = Of(VARTYPE{15}),
                       .target = VT_BSTR, .expectedHr = DISP_E_BADVARTYPE}),
    [](const testing::TestParamInfo<ConversionCase>& row) { return std::string(row.param.name); });
// clang-format on

TEST(VariantChangeTypeTest, TextWithEmbeddedNulIsReadUpToTheNul) {
    const wchar_t text[] = {L'4', L'\0', L'2'};
    UniqueVariant source;
    source.get()->vt = VT_BSTR;
    source.get()->bstrVal = SysAllocStringLen(text, 3);
    UniqueVariant number;
    ASSERT_EQ(VariantChangeType(number.get(), source.get(), 0, VT_I4), S_OK);
    EXPECT_EQ(number.get()->lVal, 4);
    UniqueVariant copy;
    ASSERT_EQ(VariantChangeType(copy.get(), source.get(), 0, VT_BSTR), S_OK);
    EXPECT_EQ(SysStringLen(copy.get()->bstrVal), 3u);
    EXPECT_NE(copy.get()->bstrVal, source.get()->bstrVal);
}

TEST(VariantChangeTypeTest, ConvertsInPlace) {
    UniqueVariant v;
    v.get()->vt = VT_I4;
    v.get()->lVal = 12345;
    ASSERT_EQ(VariantChangeType(v.get(), v.get(), 0, VT_BSTR), S_OK);
    ASSERT_EQ(v.get()->vt, VT_BSTR);
    EXPECT_EQ(Text(v.get()->bstrVal), L"12345");
    ASSERT_EQ(VariantChangeType(v.get(), v.get(), 0, VT_UINT), S_OK);
    ASSERT_EQ(v.get()->vt, VT_UINT);
    EXPECT_EQ(v.get()->uintVal, 12345u);
}

TEST(VariantChangeTypeTest, FailureLeavesTheDestinationAsItWas) {
    UniqueVariant destination;
    destination.get()->vt = VT_I4;
    destination.get()->lVal = 77;
    UniqueVariant source;
    source.get()->vt = VT_NULL;
    EXPECT_EQ(VariantChangeType(destination.get(), source.get(), 0, VT_BSTR), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(destination.get()->vt, VT_I4);
    EXPECT_EQ(destination.get()->lVal, 77);

    EXPECT_EQ(VariantChangeType(source.get(), source.get(), 0, VT_BSTR), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(source.get()->vt, VT_NULL);
}

TEST(VariantChangeTypeTest, ArraysOnlyBecomeTheirOwnType) {
    UniqueVariant array;
    array.get()->vt = VT_ARRAY | VT_I4;
    array.get()->parray = SafeArrayCreateVector(VT_I4, 0, 2);
    ASSERT_NE(array.get()->parray, nullptr);
    for (VARTYPE target : {VARTYPE{VT_BSTR}, VARTYPE{VT_UINT}, VARTYPE{VT_I4}, VARTYPE{VT_EMPTY},
                           VARTYPE{VT_ARRAY | VT_BSTR}}) {
        UniqueVariant result;
        EXPECT_EQ(VariantChangeType(result.get(), array.get(), 0, target), DISP_E_TYPEMISMATCH)
            << target;
    }
    UniqueVariant same;
    ASSERT_EQ(VariantChangeType(same.get(), array.get(), 0, VT_ARRAY | VT_I4), S_OK);
    EXPECT_NE(same.get()->parray, array.get()->parray);  // a copy, owned by the result
}

// --- VariantClear and VariantCopy ---------------------------------------------------------

// A COM object that only counts its references. It lives on the test's stack; the SDK's
// interfaces have no virtual destructor.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class Counted final : public IUnknown {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (IsEqualIID(riid, IID_IUnknown)) {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    ULONG refs = 1;
};
#pragma GCC diagnostic pop

TEST(VariantClearTest, ReleasesWhatTheVariantHolds) {
    Counted object;
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_UNKNOWN;
    v.punkVal = &object;
    object.AddRef();
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(object.refs, 1u);
}

TEST(VariantClearTest, LockedArrayIsRefusedButTheVariantIsEmptied) {
    Array array(SafeArrayCreateVector(VT_BSTR, 0, 1));
    ASSERT_NE(array.get(), nullptr);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(array.get(), &data), S_OK);
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ARRAY | VT_BSTR;
    v.parray = array.get();
    EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(SafeArrayUnaccessData(array.get()), S_OK);
}

TEST(VariantClearTest, RefusesAnInvalidType) {
    VARIANT v;
    VariantInit(&v);
    v.vt = 15;
    EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
}

TEST(VariantCopyTest, CopiesStringsArraysAndReferences) {
    const wchar_t text[] = {L'x', L'\0', L'y'};
    UniqueVariant source;
    source.get()->vt = VT_BSTR;
    source.get()->bstrVal = SysAllocStringLen(text, 3);
    UniqueVariant copy;
    ASSERT_EQ(VariantCopy(copy.get(), source.get()), S_OK);
    ASSERT_EQ(copy.get()->vt, VT_BSTR);
    EXPECT_NE(copy.get()->bstrVal, source.get()->bstrVal);
    EXPECT_EQ(SysStringLen(copy.get()->bstrVal), 3u);

    Counted object;
    UniqueVariant reference;
    reference.get()->vt = VT_UNKNOWN;
    reference.get()->punkVal = &object;
    object.AddRef();
    {
        UniqueVariant second;
        ASSERT_EQ(VariantCopy(second.get(), reference.get()), S_OK);
        EXPECT_EQ(object.refs, 3u);
    }
    EXPECT_EQ(object.refs, 2u);
}

// --- SAFEARRAY ----------------------------------------------------------------------------

TEST(SafeArrayTest, VectorOfStringsBoundsTypeAndElements) {
    Array array(SafeArrayCreateVector(VT_BSTR, 1, 3));
    ASSERT_NE(array.get(), nullptr);
    LONG lower = 0;
    LONG upper = 0;
    ASSERT_EQ(SafeArrayGetLBound(array.get(), 1, &lower), S_OK);
    ASSERT_EQ(SafeArrayGetUBound(array.get(), 1, &upper), S_OK);
    EXPECT_EQ(lower, 1);
    EXPECT_EQ(upper, 3);
    EXPECT_EQ(SafeArrayGetLBound(array.get(), 0, &lower), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetUBound(array.get(), 2, &upper), DISP_E_BADINDEX);

    UniqueBstr item(SysAllocString(L"x"));
    LONG index = 3;
    ASSERT_EQ(SafeArrayPutElement(array.get(), &index, item.get()), S_OK);
    BSTR got = nullptr;
    ASSERT_EQ(SafeArrayGetElement(array.get(), &index, &got), S_OK);
    UniqueBstr gotOwner(got);
    EXPECT_EQ(Text(got), L"x");
    EXPECT_NE(got, item.get());  // the array keeps its own copy and hands out copies

    index = 2;
    BSTR unset = SysAllocString(L"stale");
    UniqueBstr unsetOwner(unset);
    BSTR fetched = unset;
    ASSERT_EQ(SafeArrayGetElement(array.get(), &index, &fetched), S_OK);
    EXPECT_EQ(fetched, nullptr);

    for (LONG outside : {0, 4}) {
        EXPECT_EQ(SafeArrayPutElement(array.get(), &outside, item.get()), DISP_E_BADINDEX);
        EXPECT_EQ(SafeArrayGetElement(array.get(), &outside, &fetched), DISP_E_BADINDEX);
    }
}

TEST(SafeArrayTest, AccessLocksAgainstDestruction) {
    Array array(SafeArrayCreateVector(VT_I4, 0, 2));
    ASSERT_NE(array.get(), nullptr);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(array.get(), &data), S_OK);
    ASSERT_NE(data, nullptr);
    static_cast<LONG*>(data)[1] = 10;
    EXPECT_EQ(SafeArrayDestroy(array.get()), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayUnaccessData(array.get()), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(array.get()), E_UNEXPECTED);
    LONG index = 1;
    LONG value = 0;
    ASSERT_EQ(SafeArrayGetElement(array.get(), &index, &value), S_OK);
    EXPECT_EQ(value, 10);
    EXPECT_EQ(SafeArrayDestroy(array.release()), S_OK);
}

TEST(SafeArrayTest, NullArguments) {
    void* data = nullptr;
    EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
    EXPECT_EQ(SafeArrayAccessData(nullptr, &data), E_INVALIDARG);
    EXPECT_EQ(SafeArrayCreateVector(VT_EMPTY, 0, 1), nullptr);
}

TEST(SafeArrayTest, EmptyVectorHasUpperBoundBelowLowerBound) {
    Array array(SafeArrayCreateVector(VT_I4, 0, 0));
    ASSERT_NE(array.get(), nullptr);
    LONG upper = 0;
    ASSERT_EQ(SafeArrayGetUBound(array.get(), 1, &upper), S_OK);
    EXPECT_EQ(upper, -1);
}

TEST(SafeArrayTest, CopyDuplicatesStringElements) {
    Array array(SafeArrayCreateVector(VT_BSTR, 0, 2));
    ASSERT_NE(array.get(), nullptr);
    UniqueBstr item(SysAllocString(L"ChassisTypes"));
    LONG index = 1;
    ASSERT_EQ(SafeArrayPutElement(array.get(), &index, item.get()), S_OK);
    SAFEARRAY* raw = nullptr;
    ASSERT_EQ(SafeArrayCopy(array.get(), &raw), S_OK);
    Array copy(raw);
    BSTR* original = nullptr;
    BSTR* copied = nullptr;
    ASSERT_EQ(SafeArrayAccessData(array.get(), reinterpret_cast<void**>(&original)), S_OK);
    ASSERT_EQ(SafeArrayAccessData(copy.get(), reinterpret_cast<void**>(&copied)), S_OK);
    EXPECT_EQ(copied[0], nullptr);
    EXPECT_NE(copied[1], original[1]);
    EXPECT_EQ(Text(copied[1]), L"ChassisTypes");
    SafeArrayUnaccessData(copy.get());
    SafeArrayUnaccessData(array.get());
}

}  // namespace
