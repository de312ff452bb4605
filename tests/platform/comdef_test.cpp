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
    EXPECT_EQ(SysStringLen(static_cast<wchar_t*>(text)), 10u);
}

TEST(BstrTTest, EmptyAndNull) {
    _bstr_t none;
    EXPECT_EQ(static_cast<const wchar_t*>(none), nullptr);
    EXPECT_EQ(none.length(), 0u);
    _bstr_t fromNull(static_cast<const wchar_t*>(nullptr));
    EXPECT_EQ(static_cast<const wchar_t*>(fromNull), nullptr);
    _bstr_t empty(L"");
    EXPECT_NE(static_cast<const wchar_t*>(empty), nullptr);
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

}  // namespace
