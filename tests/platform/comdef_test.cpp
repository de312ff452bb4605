// The COM support classes as the WMI client uses them: _com_issue_error raising _com_error,
// and the shared, reference-counted _bstr_t.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <exception>
#include <string>
#include <type_traits>

namespace {

static_assert(!std::is_base_of_v<std::exception, _com_error>,
              "_com_error must escape handlers for standard exceptions");

TEST(ComIssueErrorTest, RaisesComErrorWithTheCodeAndNoStandardException) {
    bool caughtAsComError = false;
    try {
        try {
            _com_issue_error(E_OUTOFMEMORY);
        } catch (const std::exception&) {
            ADD_FAILURE() << "caught as a standard exception";
        }
    } catch (const _com_error& error) {
        caughtAsComError = true;
        EXPECT_EQ(error.Error(), E_OUTOFMEMORY);
        const _com_error copy = error;
        EXPECT_EQ(copy.Error(), E_OUTOFMEMORY);
    }
    EXPECT_TRUE(caughtAsComError);
}

TEST(BstrTTest, BuildsFromWideTextAndHandsOutItsBstr) {
    _bstr_t text(L"root\\cimv2");
    EXPECT_EQ(text.length(), 10u);
    const wchar_t* raw = text;
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(std::wstring(raw), L"root\\cimv2");
    EXPECT_EQ(SysStringLen(text.GetBSTR()), 10u);
    EXPECT_EQ(static_cast<const wchar_t*>(text), text.GetBSTR());
}

TEST(BstrTTest, EmptyAndNull) {
    _bstr_t none;
    EXPECT_EQ(static_cast<const wchar_t*>(none), nullptr);
    EXPECT_EQ(none.length(), 0u);
    EXPECT_TRUE(!none);
    _bstr_t fromNull(static_cast<const wchar_t*>(nullptr));
    EXPECT_EQ(static_cast<const wchar_t*>(fromNull), nullptr);
    EXPECT_TRUE(_bstr_t(static_cast<const wchar_t*>(nullptr)) == fromNull);
    _bstr_t empty(L"");
    EXPECT_FALSE(!empty);
    EXPECT_EQ(empty.length(), 0u);
}

TEST(BstrTTest, CopiesShareOneStringThatOutlivesTheOriginal) {
    _bstr_t copy;
    const wchar_t* shared = nullptr;
    {
        _bstr_t original(L"WQL");
        copy = original;
        shared = original;
        _bstr_t second(original);
        EXPECT_EQ(static_cast<const wchar_t*>(second), shared);
    }
    EXPECT_EQ(static_cast<const wchar_t*>(copy), shared);
    EXPECT_EQ(std::wstring(copy), L"WQL");
    copy = copy;  // self-assignment keeps the string
    EXPECT_EQ(std::wstring(copy), L"WQL");
}

TEST(BstrTTest, TakesOrCopiesABstrWithEmbeddedNuls) {
    const wchar_t text[] = {L'a', L'\0', L'b'};
    BSTR source = SysAllocStringLen(text, 3);
    _bstr_t copied(source, /*fCopy=*/true);
    EXPECT_NE(static_cast<const wchar_t*>(copied), source);
    EXPECT_EQ(copied.length(), 3u);
    _bstr_t owner(source, /*fCopy=*/false);  // takes over the string and frees it
    EXPECT_EQ(static_cast<const wchar_t*>(owner), source);
    EXPECT_TRUE(copied == owner);
}

TEST(BstrTTest, ComparesAndConcatenates) {
    _bstr_t a(L"Setup ");
    _bstr_t b(L"Password");
    EXPECT_TRUE(b < a);
    EXPECT_TRUE(a != b);
    const _bstr_t joined = a + b;
    EXPECT_EQ(std::wstring(joined), L"Setup Password");
    a += b;
    EXPECT_TRUE(a == joined);
}

TEST(BstrTTest, DetachHandsTheStringToTheCaller) {
    _bstr_t text(L"Cellkeeper");
    BSTR detached = text.Detach();
    EXPECT_EQ(static_cast<const wchar_t*>(text), nullptr);
    _bstr_t owner(detached, /*fCopy=*/false);
    EXPECT_EQ(std::wstring(owner), L"Cellkeeper");

    _bstr_t out;
    *out.GetAddress() = SysAllocString(L"filled");
    EXPECT_EQ(std::wstring(out), L"filled");
}

}  // namespace
