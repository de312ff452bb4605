#include "wmi_service/wbem_services.h"
#include "wmi_service/bstr.h"
#include "wmi_service/com_object.h"

#include "platform/wbem_status.h"
#include "support/table_case.h"
#include "support/wbem_reading.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

using wmi_service::CopyBstr;
using wmi_service::Variant;
using wmi_service::WbemObjectBuilder;

namespace {

using ::PrintTo;

// A namespace with batteries whose instances are made afresh for every call, and a class whose
// source fails.
class BatteryServices : public wmi_service::WbemServices {
  public:
    BatteryServices() : WbemServices(L"root\\cimv2") {
        const auto battery = WbemObjectBuilder::Class(L"Win32_Battery")
                                 .Key(L"DeviceID")
                                 .Declare(L"DeviceID", CIM_STRING)
                                 .Declare(L"Name", CIM_STRING)
                                 .Declare(L"Availability", CIM_UINT16);
        AddClass({battery, [this, battery](const wmi_service::WbemRequest& request,
                                           wmi_service::WbemInstances& out) {
                      ++produced;
                      lastRequest = request;
                      out.push_back(battery.Instance()
                                        .Set(L"DeviceID", L"BAT0")
                                        .Set(L"Name", L"Primary")
                                        .Set(L"Availability", Variant::Int32(2), CIM_UINT16)
                                        .Build());
                      out.push_back(battery.Instance().Set(L"DeviceID", L"BAT1").Build());
                      return Hr(WBEM_S_NO_ERROR);
                  }});
        AddClass({WbemObjectBuilder::Class(L"Broken"),
                  [](const wmi_service::WbemRequest&, wmi_service::WbemInstances&) {
                      return E_ACCESSDENIED;
                  }});
        AddClass({WbemObjectBuilder::Class(L"Empty"), nullptr});
    }
    int produced = 0;
    wmi_service::WbemRequest lastRequest;
};

std::wstring TextOf(IWbemClassObject* object, const wchar_t* name) {
    Variant value;
    EXPECT_EQ(object->Get(name, 0, value.put(), nullptr, nullptr), Hr(WBEM_S_NO_ERROR)) << name;
    if (value.Type() == VT_NULL) return L"<null>";
    Variant text;
    EXPECT_EQ(VariantChangeType(text.put(), value.get(), 0, VT_BSTR), S_OK);
    return wmi_service::BstrText(V_BSTR(text.get()));
}

class WbemServicesTest : public testing::Test {
  protected:
    HRESULT Query(const wchar_t* text, const wchar_t* language = L"WQL") {
        enumerator.reset();
        return services->ExecQuery(CopyBstr(language).get(), CopyBstr(text).get(),
                                   WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                   enumerator.put());
    }
    // Every object left in the enumerator.
    std::vector<ComPtr<IWbemClassObject>> Drain() { return DrainEnumerator(enumerator.get()); }

    ComPtr<BatteryServices> services = wmi_service::MakeComObject<BatteryServices>();
    ComPtr<IEnumWbemClassObject> enumerator;
};

TEST_F(WbemServicesTest, QueryDeliversFreshInstancesWithTheirPaths) {
    ASSERT_EQ(Query(L"SELECT * FROM win32_battery"), Hr(WBEM_S_NO_ERROR));
    auto batteries = Drain();
    ASSERT_EQ(batteries.size(), 2u);
    EXPECT_EQ(TextOf(batteries[0].get(), L"Name"), L"Primary");
    EXPECT_EQ(TextOf(batteries[1].get(), L"Name"), L"<null>");
    EXPECT_EQ(TextOf(batteries[1].get(), L"__PATH"),
              L"\\\\.\\root\\cimv2:Win32_Battery.DeviceID=\"BAT1\"");
    ASSERT_EQ(Query(L"SELECT * FROM Win32_Battery"), Hr(WBEM_S_NO_ERROR));
    EXPECT_EQ(services->produced, 2);
}

TEST_F(WbemServicesTest, WhereComparesTextWithoutLetterCaseAndNullMatchesNothing) {
    ASSERT_EQ(Query(L"SELECT * FROM Win32_Battery WHERE DeviceID='bat1'"), Hr(WBEM_S_NO_ERROR));
    auto found = Drain();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(TextOf(found[0].get(), L"DeviceID"), L"BAT1");

    ASSERT_EQ(Query(L"SELECT * FROM Win32_Battery WHERE Availability='2'"), Hr(WBEM_S_NO_ERROR));
    EXPECT_EQ(Drain().size(), 1u) << "integers compare by their digits";
    ASSERT_EQ(Query(L"SELECT * FROM Win32_Battery WHERE Name=''"), Hr(WBEM_S_NO_ERROR));
    EXPECT_TRUE(Drain().empty());
    ASSERT_EQ(Query(L"SELECT * FROM Win32_Battery WHERE DeviceID='BAT'"), Hr(WBEM_S_NO_ERROR));
    EXPECT_TRUE(Drain().empty());
}

TEST_F(WbemServicesTest, UnselectedPropertiesReadAsNullAndSystemPropertiesStay) {
    ASSERT_EQ(Query(L"SELECT Name, DeviceID FROM Win32_Battery"), Hr(WBEM_S_NO_ERROR));
    auto batteries = Drain();
    ASSERT_EQ(batteries.size(), 2u);
    EXPECT_EQ(TextOf(batteries[0].get(), L"Name"), L"Primary");
    EXPECT_EQ(TextOf(batteries[0].get(), L"Availability"), L"<null>");
    EXPECT_EQ(TextOf(batteries[0].get(), L"__CLASS"), L"Win32_Battery");
    EXPECT_EQ(TextOf(batteries[0].get(), L"__RELPATH"), L"Win32_Battery.DeviceID=\"BAT0\"");
}

struct QueryFailure {
    const char* name;
    const wchar_t* language;
    const wchar_t* text;
    HRESULT result;
};

class WbemServicesQueryFailureTest : public WbemServicesTest,
                                     public testing::WithParamInterface<QueryFailure> {};

TEST_P(WbemServicesQueryFailureTest, AnswersWithoutEnumerator) {
    const QueryFailure& c = GetParam();
    EXPECT_EQ(Query(c.text, c.language), c.result);
    EXPECT_FALSE(enumerator);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WbemServicesQueryFailureTest,
    testing::Values(QueryFailure{.name = "UnknownClass",
                                 .language = L"WQL",
                                 .text = L"SELECT * FROM Win32_Fan",
                                 .result = Hr(WBEM_E_INVALID_CLASS)},
                    QueryFailure{.name = "UnknownSelectedProperty",
                                 .language = L"WQL",
                                 .text = L"SELECT Size FROM Win32_Battery",
                                 .result = Hr(WBEM_E_INVALID_QUERY)},
                    QueryFailure{.name = "UnknownConditionProperty",
                                 .language = L"WQL",
                                 .text = L"SELECT * FROM Win32_Battery WHERE Size='1'",
                                 .result = Hr(WBEM_E_INVALID_QUERY)},
                    QueryFailure{.name = "Malformed",
                                 .language = L"WQL",
                                 .text = L"SELECT * FROM Win32_Battery WHERE Name='a'b'",
                                 .result = Hr(WBEM_E_INVALID_QUERY)},
                    QueryFailure{.name = "OtherLanguage",
                                 .language = L"SQL",
                                 .text = L"SELECT * FROM Win32_Battery",
                                 .result = Hr(WBEM_E_INVALID_QUERY_TYPE)},
                    QueryFailure{.name = "SourceFails",
                                 .language = L"WQL",
                                 .text = L"SELECT * FROM Broken",
                                 .result = E_ACCESSDENIED}),
    CaseName());

TEST_F(WbemServicesTest, InstanceEnumerationOfKnownEmptyAndUnknownClasses) {
    ASSERT_EQ(services->CreateInstanceEnum(CopyBstr(L"WIN32_BATTERY").get(), 0, nullptr,
                                           enumerator.put()),
              Hr(WBEM_S_NO_ERROR));
    EXPECT_EQ(Drain().size(), 2u);
    ASSERT_EQ(services->CreateInstanceEnum(CopyBstr(L"Empty").get(), 0, nullptr, enumerator.put()),
              Hr(WBEM_S_NO_ERROR));
    EXPECT_TRUE(Drain().empty());
    EXPECT_EQ(
        services->CreateInstanceEnum(CopyBstr(L"Win32_Fan").get(), 0, nullptr, enumerator.put()),
        Hr(WBEM_E_INVALID_CLASS));
    EXPECT_EQ(services->CreateInstanceEnum(nullptr, 0, nullptr, enumerator.put()),
              Hr(WBEM_E_INVALID_PARAMETER));
}

TEST_F(WbemServicesTest, GetObjectGivesClassObjectsAndInstancesByPath) {
    ComPtr<IWbemClassObject> object;
    ASSERT_EQ(
        services->GetObject(CopyBstr(L"Win32_Battery").get(), 0, nullptr, object.put(), nullptr),
        Hr(WBEM_S_NO_ERROR));
    EXPECT_EQ(TextOf(object.get(), L"__GENUS"), L"1");
    EXPECT_EQ(TextOf(object.get(), L"__PATH"), L"\\\\.\\root\\cimv2:Win32_Battery");

    ASSERT_EQ(
        services->GetObject(CopyBstr(L"\\\\.\\root\\cimv2:Win32_Battery.DeviceID=\"bat0\"").get(),
                            0, nullptr, object.put(), nullptr),
        Hr(WBEM_S_NO_ERROR));
    EXPECT_EQ(TextOf(object.get(), L"Name"), L"Primary");

    for (const wchar_t* missing : {L"Win32_Fan", L"Win32_Battery.DeviceID=\"BAT9\""}) {
        EXPECT_EQ(services->GetObject(CopyBstr(missing).get(), 0, nullptr, object.put(), nullptr),
                  Hr(WBEM_E_NOT_FOUND));
        EXPECT_FALSE(object);
    }
}

// What a call tells the producer it can show; the producer above ignores it, and the answers
// of the tests before show that the services filter and project on their own all the same.
struct RequestCase {
    const char* name;
    const wchar_t* query = L"";  // WQL, or an object path for GetObject
    std::optional<std::wstring> key = {};
    std::vector<std::wstring> properties = {};
};

class WbemServicesRequestTest : public WbemServicesTest,
                                public testing::WithParamInterface<RequestCase> {};

TEST_P(WbemServicesRequestTest, NamesTheKeyAndThePropertiesTheAnswerCanShow) {
    const RequestCase& c = GetParam();
    if (std::wstring_view(c.query).starts_with(L"SELECT")) {
        ASSERT_EQ(Query(c.query), Hr(WBEM_S_NO_ERROR));
    } else {
        ComPtr<IWbemClassObject> object;
        services->GetObject(CopyBstr(c.query).get(), 0, nullptr, object.put(), nullptr);
    }
    ASSERT_EQ(services->produced, 1);
    EXPECT_EQ(services->lastRequest.key, c.key);
    EXPECT_EQ(services->lastRequest.properties, c.properties);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WbemServicesRequestTest,
    testing::Values(RequestCase{.name = "SelectAll", .query = L"SELECT * FROM Win32_Battery"},
                    RequestCase{.name = "SelectListWithItsCondition",
                                .query = L"SELECT Name FROM Win32_Battery WHERE Availability='2'",
                                .properties = {L"Name", L"Availability"}},
                    RequestCase{.name = "ConditionOnTheKey",
                                .query = L"SELECT * FROM Win32_Battery WHERE deviceid='bat1'",
                                .key = L"bat1"},
                    RequestCase{.name = "PathWithTheKey",
                                .query = L"\\\\.\\root\\cimv2:Win32_Battery.DeviceID=\"BAT0\"",
                                .key = L"BAT0"},
                    RequestCase{.name = "PathWithAnEscapedKeyTakesTheLongWay",
                                .query = L"Win32_Battery.DeviceID=\"B\\\"0\""},
                    RequestCase{.name = "PathWithAnotherProperty",
                                .query = L"Win32_Battery.Name=\"BAT0\""}),
    CaseName());

TEST_F(WbemServicesTest, ProxyBlanketReachesTheClientSecurityOfTheObject) {
    ASSERT_EQ(CoSetProxyBlanket(static_cast<IWbemServices*>(services.get()), RPC_C_AUTHN_WINNT,
                                RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE),
              S_OK);
    ComPtr<IClientSecurity> security;
    ASSERT_EQ(services->QueryInterface(IID_IClientSecurity, security.put_void()), S_OK);
    DWORD authn = 0;
    DWORD level = 0;
    DWORD impersonation = 0;
    ASSERT_EQ(security->QueryBlanket(nullptr, &authn, nullptr, nullptr, &level, &impersonation,
                                     nullptr, nullptr),
              S_OK);
    EXPECT_EQ(authn, static_cast<DWORD>(RPC_C_AUTHN_WINNT));
    EXPECT_EQ(level, static_cast<DWORD>(RPC_C_AUTHN_LEVEL_CALL));
    EXPECT_EQ(impersonation, static_cast<DWORD>(RPC_C_IMP_LEVEL_IMPERSONATE));
    ComPtr<IUnknown> copy;
    EXPECT_EQ(security->CopyProxy(nullptr, copy.put()), E_NOTIMPL);
}

TEST_F(WbemServicesTest, MethodsWithoutTableAnswerNotSupported) {
    ComPtr<IWbemClassObject> out;
    EXPECT_EQ(services->ExecMethod(CopyBstr(L"Win32_Battery").get(), CopyBstr(L"Reset").get(), 0,
                                   nullptr, nullptr, out.put(), nullptr),
              Hr(WBEM_E_NOT_SUPPORTED));
    EXPECT_EQ(services->CreateClassEnum(nullptr, 0, nullptr, enumerator.put()),
              Hr(WBEM_E_NOT_SUPPORTED));
}

}  // namespace
