#include "support/fake_wmi.h"
#include "platform/wbem_status.h"
#include "wmi_service/bstr.h"
#include "wmi_service/com_object.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;
using wmi_service::CopyBstr;

namespace {

constexpr const wchar_t* kCimv2 = L"\\\\.\\root\\cimv2";
constexpr const wchar_t* kVendor = L"\\\\.\\root\\Vantrel\\InstrumentedBIOS";

class FakeWmiTest : public testing::Test {
  protected:
    // What the code under test does: create the locator through COM and connect.
    HRESULT Connect(const wchar_t* nameSpace) {
        ComPtr<IWbemLocator> locator;
        HRESULT hr = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IWbemLocator, locator.put_void());
        if (FAILED(hr)) return hr;
        hr = locator->ConnectServer(CopyBstr(nameSpace).get(), nullptr, nullptr, nullptr,
                                    WBEM_FLAG_CONNECT_USE_MAX_WAIT, nullptr, nullptr,
                                    services.put());
        if (FAILED(hr)) return hr;
        return CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                 RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                                 EOAC_NONE);
    }
    HRESULT Query(const wchar_t* text) {
        return services->ExecQuery(CopyBstr(L"WQL").get(), CopyBstr(text).get(),
                                   WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                   enumerator.put());
    }
    HRESULT NextObject(ComPtr<IWbemClassObject>& object) {
        ULONG returned = 0;
        return enumerator->Next(20000, 1, object.put(), &returned);
    }

    FakeWmi wmi;
    ComPtr<IWbemServices> services;
    ComPtr<IEnumWbemClassObject> enumerator;
};

TEST_F(FakeWmiTest, CoCreateInstanceReachesTheFakeAndEveryCallIsRecorded) {
    wmi.Namespace(kCimv2).Add(WbemObjectBuilder(L"Win32_BIOS").Set(L"Name", L"1.2.3"));
    ASSERT_EQ(Connect(kCimv2), S_OK);
    ASSERT_EQ(Query(L"SELECT * FROM Win32_BIOS"), Hr(WBEM_S_NO_ERROR));
    ComPtr<IWbemClassObject> bios;
    ASSERT_EQ(NextObject(bios), Hr(WBEM_S_NO_ERROR));
    wmi_service::Variant name;
    ASSERT_EQ(bios->Get(L"Name", 0, name.put(), nullptr, nullptr), Hr(WBEM_S_NO_ERROR));
    EXPECT_EQ(wmi_service::BstrText(V_BSTR(name.get())), L"1.2.3");
    EXPECT_GT(wmi.LiveObjects(), 0);

    bios.reset();
    enumerator.reset();
    services.reset();
    EXPECT_EQ(wmi.LiveObjects(), 0);
    EXPECT_THAT(wmi.Calls(), ElementsAre("CoCreateInstance WbemLocator",
                                         "ConnectServer \\\\.\\root\\cimv2 flags=0x80",
                                         "SetBlanket authn=10 authz=0 level=3 imp=3 caps=0",
                                         "ExecQuery WQL SELECT * FROM Win32_BIOS flags=0x30",
                                         "Next timeout=20000 count=1", "Get Name",
                                         "Release services \\\\.\\root\\cimv2"));
}

TEST_F(FakeWmiTest, UnknownNamespaceAndInjectedConnectFailure) {
    wmi.Namespace(kCimv2);
    EXPECT_EQ(Connect(kVendor), Hr(WBEM_E_INVALID_NAMESPACE));
    wmi.Fail("ConnectServer \\\\.\\root\\cimv2", E_ACCESSDENIED);
    EXPECT_EQ(Connect(kCimv2), E_ACCESSDENIED);
    EXPECT_FALSE(services);
    EXPECT_EQ(wmi.LiveObjects(), 0);
}

TEST_F(FakeWmiTest, InjectedResultsAnswerInsteadOfTheCall) {
    wmi.Namespace(kCimv2)
        .Add(WbemObjectBuilder(L"Win32_Battery").Set(L"Name", L"A"))
        .Add(WbemObjectBuilder(L"Win32_Battery").Set(L"Name", L"B"));
    ASSERT_EQ(Connect(kCimv2), S_OK);

    wmi.Fail("ExecQuery WQL SELECT * FROM Win32_Battery", S_OK, 1);
    EXPECT_EQ(Query(L"SELECT * FROM Win32_Battery"), S_OK);
    EXPECT_FALSE(enumerator) << "success without an enumerator";

    wmi.Fail("Next", Hr(WBEM_S_TIMEDOUT), 1);
    wmi.Fail("Get Name", Hr(WBEM_E_NOT_FOUND));
    ASSERT_EQ(Query(L"SELECT * FROM Win32_Battery"), Hr(WBEM_S_NO_ERROR));
    ComPtr<IWbemClassObject> battery;
    EXPECT_EQ(NextObject(battery), Hr(WBEM_S_TIMEDOUT));
    EXPECT_FALSE(battery);
    ASSERT_EQ(NextObject(battery), Hr(WBEM_S_NO_ERROR)) << "the rule was for one call only";
    wmi_service::Variant name;
    EXPECT_EQ(battery->Get(L"Name", 0, name.put(), nullptr, nullptr), Hr(WBEM_E_NOT_FOUND));
    EXPECT_EQ(name.Type(), VT_EMPTY);
    EXPECT_THAT(wmi.CallsStartingWith("Next"),
                ElementsAre("Next timeout=20000 count=1", "Next timeout=20000 count=1"));
}

TEST_F(FakeWmiTest, MethodCallPathIsRecordedAndArgumentsCanBeRead) {
    auto in = WbemObjectBuilder::Parameters()
                  .Declare(L"Name", CIM_STRING)
                  .Declare(L"Value", CIM_STRING)
                  .Declare(L"Password", CIM_STRING)
                  .Build();
    FakeNamespace vendor = wmi.Namespace(kVendor);
    vendor
        .AddClass(WbemObjectBuilder::Class(L"Vantrel_BIOSSettingInterface")
                      .Method(L"SetBIOSSetting", in, nullptr))
        .Add(WbemObjectBuilder(L"Vantrel_BIOSSettingInterface")
                 .Key(L"InstanceName")
                 .Set(L"InstanceName", L"ACPI\\0"))
        .MethodReturns(L"SetBIOSSetting", wmi_service::Variant::Int32(0));
    ASSERT_EQ(Connect(kVendor), S_OK);
    wmi.ClearCalls();

    ComPtr<IWbemClassObject> cls;
    ASSERT_EQ(services->GetObject(CopyBstr(L"Vantrel_BIOSSettingInterface").get(), 0, nullptr,
                                  cls.put(), nullptr),
              Hr(WBEM_S_NO_ERROR));
    ComPtr<IWbemClassObject> signature;
    ASSERT_EQ(cls->GetMethod(L"SetBIOSSetting", 0, signature.put(), nullptr), Hr(WBEM_S_NO_ERROR));
    ComPtr<IWbemClassObject> arguments;
    ASSERT_EQ(signature->SpawnInstance(0, arguments.put()), Hr(WBEM_S_NO_ERROR));
    wmi_service::Variant password = wmi_service::Variant::String(L"<kbd/>");
    ASSERT_EQ(arguments->Put(L"Password", 0, password.get(), 0), Hr(WBEM_S_NO_ERROR));

    ASSERT_EQ(services->CreateInstanceEnum(CopyBstr(L"Vantrel_BIOSSettingInterface").get(),
                                           WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                           nullptr, enumerator.put()),
              Hr(WBEM_S_NO_ERROR));
    ComPtr<IWbemClassObject> instance;
    ASSERT_EQ(NextObject(instance), Hr(WBEM_S_NO_ERROR));
    wmi_service::Variant path;
    ASSERT_EQ(instance->Get(L"__PATH", 0, path.put(), nullptr, nullptr), Hr(WBEM_S_NO_ERROR));
    const std::wstring pathText = wmi_service::BstrText(V_BSTR(path.get()));
    EXPECT_EQ(pathText,
              L"\\\\.\\root\\Vantrel\\InstrumentedBIOS:Vantrel_BIOSSettingInterface."
              L"InstanceName=\"ACPI\\\\0\"");

    ComPtr<IWbemClassObject> out;
    ASSERT_EQ(services->ExecMethod(CopyBstr(pathText).get(), CopyBstr(L"SetBIOSSetting").get(), 0,
                                   nullptr, arguments.get(), out.put(), nullptr),
              Hr(WBEM_S_NO_ERROR));
    wmi_service::Variant result;
    ASSERT_EQ(out->Get(L"Return", 0, result.put(), nullptr, nullptr), Hr(WBEM_S_NO_ERROR));
    EXPECT_EQ(result.Type(), VT_I4);
    EXPECT_EQ(V_I4(result.get()), 0);

    wmi_service::Variant passed;
    ASSERT_TRUE(wmi.LastMethodInput());
    ASSERT_EQ(wmi.LastMethodInput()->Get(L"Password", 0, passed.put(), nullptr, nullptr),
              Hr(WBEM_S_NO_ERROR));
    EXPECT_EQ(wmi_service::BstrText(V_BSTR(passed.get())), L"<kbd/>");

    EXPECT_THAT(wmi.Calls(),
                ElementsAre("GetObject Vantrel_BIOSSettingInterface flags=0x0",
                            "GetMethod SetBIOSSetting in", "SpawnInstance", "Put Password=<kbd/>",
                            "CreateInstanceEnum Vantrel_BIOSSettingInterface flags=0x30",
                            "Next timeout=20000 count=1", "Get __PATH",
                            "ExecMethod \\\\.\\root\\Vantrel\\InstrumentedBIOS:Vantrel_"
                            "BIOSSettingInterface.InstanceName=\"ACPI\\\\0\" SetBIOSSetting "
                            "flags=0x0",
                            "Get Return"));
}

TEST_F(FakeWmiTest, MethodHandlerCanChangeWhatTheNextQuerySees) {
    FakeNamespace vendor = wmi.Namespace(kVendor);
    vendor.Add(WbemObjectBuilder(L"Vantrel_BIOSSetting")
                   .Set(L"Name", L"Cellkeeper")
                   .Set(L"CurrentValue", L"Old"));
    vendor.OnMethod(L"SetBIOSSetting",
                    [vendor](IWbemClassObject*, ComPtr<IWbemClassObject>& out) mutable {
                        vendor.SetProperty(L"Vantrel_BIOSSetting", L"CurrentValue", L"New");
                        out.reset();
                        return Hr(WBEM_S_NO_ERROR);
                    });
    ASSERT_EQ(Connect(kVendor), S_OK);
    ComPtr<IWbemClassObject> out;
    ASSERT_EQ(services->ExecMethod(CopyBstr(L"Vantrel_BIOSSettingInterface").get(),
                                   CopyBstr(L"SetBIOSSetting").get(), 0, nullptr, nullptr,
                                   out.put(), nullptr),
              Hr(WBEM_S_NO_ERROR));
    EXPECT_FALSE(out);
    ASSERT_EQ(Query(L"SELECT * FROM Vantrel_BIOSSetting where Name='Cellkeeper'"),
              Hr(WBEM_S_NO_ERROR));
    ComPtr<IWbemClassObject> setting;
    ASSERT_EQ(NextObject(setting), Hr(WBEM_S_NO_ERROR));
    wmi_service::Variant value;
    ASSERT_EQ(setting->Get(L"CurrentValue", 0, value.put(), nullptr, nullptr), Hr(WBEM_S_NO_ERROR));
    EXPECT_EQ(wmi_service::BstrText(V_BSTR(value.get())), L"New");
}

TEST_F(FakeWmiTest, ReleaseOrderOfTwoConnectionsIsRecorded) {
    wmi.Namespace(kCimv2);
    wmi.Namespace(kVendor);
    ASSERT_EQ(Connect(kCimv2), S_OK);
    ComPtr<IWbemServices> first = services;
    ASSERT_EQ(Connect(kVendor), S_OK);
    first.reset();
    services.reset();
    EXPECT_THAT(wmi.CallsStartingWith("Release"),
                ElementsAre("Release services \\\\.\\root\\cimv2",
                            "Release services \\\\.\\root\\Vantrel\\InstrumentedBIOS"));
}

}  // namespace
