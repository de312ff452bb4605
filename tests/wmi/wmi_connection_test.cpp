#include "wmi/wmi_connection.h"

#include "platform/wbem_status.h"
#include "support/fake_wmi.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr wchar_t kNamespace[] = L"\\\\.\\root\\test";
constexpr char kConnectLine[] = "ConnectServer \\\\.\\root\\test flags=0x80";
constexpr char kBlanketLine[] = "SetBlanket authn=10 authz=0 level=3 imp=3 caps=0";
constexpr char kNextLine[] = "Next timeout=20000 count=1";

class WmiConnectionTest : public testing::Test {
  protected:
    WmiConnectionTest() {
        wmi.Namespace(kNamespace)
            .Add(WbemObjectBuilder(L"Test_Thing").Set(L"Name", L"first"))
            .Add(WbemObjectBuilder(L"Test_Thing").Set(L"Name", L"second"))
            .AddClass(WbemObjectBuilder::Class(L"Test_Empty"));
    }

    static std::wstring NameOf(const WmiObject& object) {
        std::wstring name;
        EXPECT_EQ(object.GetString(L"Name", name), S_OK);
        return name;
    }

    FakeWmi wmi;
};

TEST_F(WmiConnectionTest, ConnectsWithBoundedWaitAndCallLevelBlanket) {
    {
        WmiConnection connection(kNamespace);
        EXPECT_TRUE(connection.services);
        EXPECT_EQ(connection.namespacePath, kNamespace);
        EXPECT_FALSE(connection.current.get());
        EXPECT_FALSE(connection.enumerator);
        EXPECT_THAT(wmi.Calls(),
                    ElementsAre("CoCreateInstance WbemLocator", kConnectLine, kBlanketLine));
    }
    EXPECT_EQ(wmi.LiveObjects(), 0);
}

TEST_F(WmiConnectionTest, QueryWalksResultsOneAtATime) {
    WmiConnection connection(kNamespace);
    wmi.ClearCalls();
    ASSERT_EQ(connection.RunQuery(L"SELECT * FROM Test_Thing"), S_OK);
    EXPECT_EQ(NameOf(connection.current), L"first");
    ASSERT_TRUE(connection.NextResult());
    EXPECT_EQ(NameOf(connection.current), L"second");
    EXPECT_FALSE(connection.NextResult());
    EXPECT_FALSE(connection.current.get());
    EXPECT_THAT(wmi.Calls(), ElementsAre("ExecQuery WQL SELECT * FROM Test_Thing flags=0x30",
                                         kNextLine, "Get Name", kNextLine, "Get Name", kNextLine));
}

TEST_F(WmiConnectionTest, FirstInstanceComesFromClassEnumeration) {
    WmiConnection connection(kNamespace);
    wmi.ClearCalls();
    ASSERT_EQ(connection.SelectFirstInstance(L"Test_Thing"), S_OK);
    EXPECT_EQ(NameOf(connection.current), L"first");
    EXPECT_THAT(wmi.Calls(),
                ElementsAre("CreateInstanceEnum Test_Thing flags=0x30", kNextLine, "Get Name"));
}

TEST_F(WmiConnectionTest, QueryWithoutResultLeavesNothingCurrent) {
    WmiConnection connection(kNamespace);
    ASSERT_EQ(connection.RunQuery(L"SELECT * FROM Test_Thing"), S_OK);
    EXPECT_EQ(connection.RunQuery(L"SELECT * FROM Test_Empty"), Hr(WBEM_S_FALSE));
    EXPECT_FALSE(connection.current.get());
    std::wstring text = L"left over";
    EXPECT_EQ(connection.current.GetString(L"Name", text), Hr(WBEM_E_INVALID_OBJECT));
    EXPECT_THAT(text, IsEmpty());
    EXPECT_EQ(connection.SelectFirstInstance(L"Test_Empty"), Hr(WBEM_S_FALSE));
    EXPECT_FALSE(connection.current.get());
}

TEST_F(WmiConnectionTest, FailedQueryKeepsPreviousCurrentObject) {
    WmiConnection connection(kNamespace);
    ASSERT_EQ(connection.RunQuery(L"SELECT * FROM Test_Thing"), S_OK);
    wmi.Fail("ExecQuery", Hr(WBEM_E_INVALID_QUERY));
    EXPECT_EQ(connection.RunQuery(L"SELECT * FROM Test_Thing"), Hr(WBEM_E_INVALID_QUERY));
    EXPECT_FALSE(connection.enumerator);
    EXPECT_EQ(NameOf(connection.current), L"first");
    EXPECT_FALSE(connection.NextResult());
}

TEST_F(WmiConnectionTest, QueryWithoutEnumeratorIsInvalidClass) {
    WmiConnection connection(kNamespace);
    ASSERT_EQ(connection.RunQuery(L"SELECT * FROM Test_Thing"), S_OK);
    wmi.Fail("ExecQuery", S_OK);
    wmi.Fail("CreateInstanceEnum", S_OK);
    const auto invalidClass = Hr(WBEM_E_INVALID_CLASS);
    EXPECT_EQ(connection.RunQuery(L"SELECT * FROM Test_Thing"), invalidClass);
    EXPECT_EQ(connection.SelectFirstInstance(L"Test_Thing"), invalidClass);
    // The old current object is only thrown away once a new enumerator exists.
    EXPECT_EQ(NameOf(connection.current), L"first");
}

TEST_F(WmiConnectionTest, FetchCodesArePassedOnWithNothingCurrent) {
    WmiConnection connection(kNamespace);
    ASSERT_EQ(connection.RunQuery(L"SELECT * FROM Test_Thing"), S_OK);
    wmi.Fail("Next", Hr(WBEM_S_TIMEDOUT));
    EXPECT_EQ(connection.RunQuery(L"SELECT * FROM Test_Thing"), Hr(WBEM_S_TIMEDOUT));
    EXPECT_FALSE(connection.current.get());
    wmi.Fail("CreateInstanceEnum", Hr(WBEM_E_ACCESS_DENIED));
    EXPECT_EQ(connection.SelectFirstInstance(L"Test_Thing"), Hr(WBEM_E_ACCESS_DENIED));
}

TEST_F(WmiConnectionTest, FailedConnectionLeavesNoServices) {
    wmi.Fail("ConnectServer", Hr(WBEM_E_ACCESS_DENIED));
    WmiConnection connection(kNamespace);
    EXPECT_FALSE(connection.services);
    EXPECT_THAT(connection.namespacePath, IsEmpty());
    EXPECT_EQ(connection.Connect(kNamespace), Hr(WBEM_E_ACCESS_DENIED));
}

TEST_F(WmiConnectionTest, RefusedBlanketDropsServicesButKeepsPath) {
    wmi.Fail("SetBlanket", E_ACCESSDENIED);
    {
        WmiConnection connection(kNamespace);
        EXPECT_FALSE(connection.services);
        EXPECT_EQ(connection.namespacePath, kNamespace);
        EXPECT_EQ(connection.RunQuery(L"SELECT * FROM Test_Thing"),
                  Hr(WBEM_E_INITIALIZATION_FAILURE));
    }
    EXPECT_EQ(wmi.LiveObjects(), 0);
}

TEST_F(WmiConnectionTest, ReconnectReleasesFormerServicesFirst) {
    WmiConnection connection(kNamespace);
    wmi.ClearCalls();
    EXPECT_EQ(connection.Connect(kNamespace), S_OK);
    EXPECT_TRUE(connection.services);
    EXPECT_THAT(wmi.Calls(),
                ElementsAre("Release services \\\\.\\root\\test", "CoCreateInstance WbemLocator",
                            kConnectLine, kBlanketLine));
}

TEST_F(WmiConnectionTest, ConnectionReleasesEverythingItHolds) {
    {
        WmiConnection connection(kNamespace);
        ASSERT_EQ(connection.RunQuery(L"SELECT * FROM Test_Thing"), S_OK);
        EXPECT_GT(wmi.LiveObjects(), 0);
    }
    EXPECT_EQ(wmi.LiveObjects(), 0);
}

// Whether the calling thread is still joined to COM; the probe undoes its own initialisation.
bool ThreadStillInitialised() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(hr)) CoUninitialize();
    return hr != S_OK;
}

TEST(WmiConnectionComTest, MissingNamespaceCompletesAndUninitialisesOnce) {
    {
        FakeWmi wmi;
        {
            WmiConnection connection(L"\\\\.\\root\\missing");
            EXPECT_EQ(connection.guard.initResult, S_FALSE);
            EXPECT_FALSE(connection.services);
            EXPECT_EQ(connection.RunQuery(L"SELECT * FROM Test_Thing"),
                      Hr(WBEM_E_INITIALIZATION_FAILURE));
            EXPECT_EQ(connection.SelectFirstInstance(L"Test_Thing"),
                      Hr(WBEM_E_INITIALIZATION_FAILURE));
            EXPECT_FALSE(connection.NextResult());
        }
        // The fake's own initialisation is untouched by the connection's.
        EXPECT_TRUE(ThreadStillInitialised());
        EXPECT_THAT(wmi.CallsStartingWith("ExecQuery"), IsEmpty());
    }
    EXPECT_FALSE(ThreadStillInitialised());
}

}  // namespace
