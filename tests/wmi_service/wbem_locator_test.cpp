#include "wmi_service/wbem_locator.h"
#include "platform/wbem_status.h"
#include "support/table_case.h"
#include "wmi_service/bstr.h"
#include "wmi_service/com_object.h"
#include "wmi_service/wbem_services.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

using wmi_service::CopyBstr;

namespace {

using ::PrintTo;

class NamedServices : public wmi_service::WbemServices {
  public:
    explicit NamedServices(std::wstring_view nameSpace) : WbemServices(nameSpace) {}
};

// A route that serves an empty namespace and counts its connections.
wmi_service::WbemNamespaceRoute Route(const wchar_t* nameSpace, int* connections) {
    return {nameSpace, [nameSpace, connections](IWbemServices** services) {
                ++*connections;
                *services = wmi_service::MakeComObject<NamedServices>(nameSpace).detach();
                return Hr(WBEM_S_NO_ERROR);
            }};
}

ComPtr<IWbemLocator> Locator(std::vector<wmi_service::WbemNamespaceRoute> routes,
                             ComPtr<IWbemLocator> fallback = {}) {
    ComPtr<IWbemLocator> locator;
    EXPECT_EQ(wmi_service::CreateRoutingLocator(std::move(routes), std::move(fallback),
                                                IID_IWbemLocator, locator.put_void()),
              S_OK);
    return locator;
}

HRESULT Connect(IWbemLocator* locator, const wchar_t* nameSpace, ComPtr<IWbemServices>& services) {
    return locator->ConnectServer(CopyBstr(nameSpace).get(), nullptr, nullptr, nullptr,
                                  WBEM_FLAG_CONNECT_USE_MAX_WAIT, nullptr, nullptr, services.put());
}

std::wstring ServedNamespace(IWbemServices* services) {
    return static_cast<NamedServices*>(services)->NamespacePath();
}

struct RouteCase {
    const char* name;
    const wchar_t* requested = L"";
    const wchar_t* served = nullptr;  // null: WBEM_E_INVALID_NAMESPACE
};

class WbemLocatorRouteTest : public testing::TestWithParam<RouteCase> {};

TEST_P(WbemLocatorRouteTest, RoutesByNamespaceWithoutRegardToCaseOrLocalServer) {
    const RouteCase& c = GetParam();
    int cimv2 = 0;
    int vendor = 0;
    auto locator = Locator(
        {Route(L"root\\cimv2", &cimv2), Route(L"root\\Vantrel\\InstrumentedBIOS", &vendor)});
    ComPtr<IWbemServices> services;
    const HRESULT hr = Connect(locator.get(), c.requested, services);
    if (!c.served) {
        EXPECT_EQ(hr, Hr(WBEM_E_INVALID_NAMESPACE));
        EXPECT_FALSE(services);
        EXPECT_EQ(cimv2 + vendor, 0);
        return;
    }
    ASSERT_EQ(hr, Hr(WBEM_S_NO_ERROR));
    ASSERT_TRUE(services);
    EXPECT_EQ(ServedNamespace(services.get()), c.served);
    EXPECT_EQ(cimv2 + vendor, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WbemLocatorRouteTest,
    testing::Values(
        RouteCase{.name = "LocalServerPrefix",
                  .requested = L"\\\\.\\root\\cimv2",
                  .served = L"root\\cimv2"},
        RouteCase{.name = "Bare", .requested = L"root\\cimv2", .served = L"root\\cimv2"},
        RouteCase{
            .name = "LetterCase", .requested = L"\\\\.\\ROOT\\CimV2", .served = L"root\\cimv2"},
        RouteCase{
            .name = "ForwardSlashes", .requested = L"//./root/cimv2", .served = L"root\\cimv2"},
        RouteCase{.name = "Vendor",
                  .requested = L"\\\\.\\root\\Vantrel\\InstrumentedBIOS",
                  .served = L"root\\Vantrel\\InstrumentedBIOS"},
        RouteCase{.name = "Unknown", .requested = L"\\\\.\\root\\wmi", .served = nullptr},
        RouteCase{.name = "ParentOnly", .requested = L"\\\\.\\root\\Vantrel", .served = nullptr},
        RouteCase{.name = "TrailingText", .requested = L"root\\cimv2x", .served = nullptr},
        RouteCase{.name = "Empty", .requested = L"", .served = nullptr}),
    CaseName());

TEST(WbemLocatorTest, UnknownNamespacesGoToTheFallback) {
    int own = 0;
    int other = 0;
    auto fallback = Locator({Route(L"root\\wmi", &other)});
    auto locator = Locator({Route(L"root\\cimv2", &own)}, fallback);
    ComPtr<IWbemServices> services;
    ASSERT_EQ(Connect(locator.get(), L"\\\\.\\root\\wmi", services), Hr(WBEM_S_NO_ERROR));
    EXPECT_EQ(ServedNamespace(services.get()), L"root\\wmi");
    EXPECT_EQ(Connect(locator.get(), L"\\\\.\\root\\none", services), Hr(WBEM_E_INVALID_NAMESPACE));
    EXPECT_EQ(own, 0);
    EXPECT_EQ(other, 1);
}

TEST(WbemLocatorTest, NullNamespaceOrOutPointerIsInvalidParameter) {
    int connections = 0;
    auto locator = Locator({Route(L"root\\cimv2", &connections)});
    ComPtr<IWbemServices> services;
    EXPECT_EQ(locator->ConnectServer(nullptr, nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                     services.put()),
              Hr(WBEM_E_INVALID_PARAMETER));
    EXPECT_EQ(locator->ConnectServer(CopyBstr(L"root\\cimv2").get(), nullptr, nullptr, nullptr, 0,
                                     nullptr, nullptr, nullptr),
              Hr(WBEM_E_INVALID_PARAMETER));
    EXPECT_EQ(connections, 0);
}

TEST(WbemLocatorTest, AnswersOnlyLocatorInterfaces) {
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(wmi_service::CreateRoutingLocator({}, {}, IID_IUnknown, unknown.put_void()), S_OK);
    ComPtr<IWbemServices> services;
    EXPECT_EQ(wmi_service::CreateRoutingLocator({}, {}, IID_IWbemServices, services.put_void()),
              E_NOINTERFACE);
    EXPECT_FALSE(services);
}

}  // namespace
