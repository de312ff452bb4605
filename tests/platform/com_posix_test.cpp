// Linux-layer checks that cannot run under Wine: the once-only process security (Wine accepts
// every call), the built-in machine locator, the BSTR layout and allocation failures.
#include "platform/owners.h"
#include "platform/platform.h"
#include "support/built_in_locator_posix.h"

#include <gtest/gtest.h>

namespace {

class ComScope {
  public:
    ComScope() { EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK); }
    ~ComScope() { CoUninitialize(); }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
};

HRESULT InitializeSecurity() {
    return CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
}

TEST(CoInitializeSecurityPosixTest, FirstCallWinsLaterOnesAreTooLate) {
    EXPECT_EQ(InitializeSecurity(), CO_E_NOTINITIALIZED);
    ComScope com;
    EXPECT_EQ(InitializeSecurity(), S_OK);
    EXPECT_EQ(InitializeSecurity(), RPC_E_TOO_LATE);
}

TEST(MachineLocatorPosixTest, ServesWbemLocatorWithoutRegistration) {
    ComScope com;
    BuiltInMachineLocator machineLocator;
    ComPtr<IWbemLocator> locator;
    ASSERT_EQ(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                               locator.put_void()),
              S_OK);
    EXPECT_TRUE(locator);
}

TEST(MachineLocatorPosixTest, RefusesAggregationAndOtherContexts) {
    ComScope com;
    BuiltInMachineLocator machineLocator;
    ComPtr<IWbemLocator> outer;
    ASSERT_EQ(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                               outer.put_void()),
              S_OK);
    ComPtr<IUnknown> aggregated;
    EXPECT_EQ(CoCreateInstance(CLSID_WbemLocator, outer.get(), CLSCTX_INPROC_SERVER, IID_IUnknown,
                               aggregated.put_void()),
              CLASS_E_NOAGGREGATION);
    ComPtr<IUnknown> remote;
    EXPECT_EQ(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                               remote.put_void()),
              REGDB_E_CLASSNOTREG);
}

TEST(MachineLocatorPosixTest, NotRegisteredUntilInstalledAndAfterRemoval) {
    ComScope com;
    const auto create = [] {
        ComPtr<IWbemLocator> locator;
        return CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                locator.put_void());
    };
    EXPECT_EQ(create(), REGDB_E_CLASSNOTREG);
    {
        BuiltInMachineLocator machineLocator;
        EXPECT_EQ(create(), S_OK);
    }
    EXPECT_EQ(create(), REGDB_E_CLASSNOTREG);
}

TEST(BstrPosixTest, PrefixCountsBytesOfThirtyTwoBitCharacters) {
    UniqueBstr bstr(SysAllocString(L"abc"));
    ASSERT_TRUE(bstr);
    EXPECT_EQ(SysStringLen(bstr.get()), 3u);
    EXPECT_EQ(reinterpret_cast<const std::uint32_t*>(bstr.get())[-1], 12u);
}

TEST(BstrPosixTest, AllocationFailureRaisesOutOfMemory) {
    posix_testing::FailBstrAllocationsAfter(0);
    EXPECT_EQ(SysAllocString(L"x"), nullptr);
    HRESULT raised = S_OK;
    try {
        _bstr_t text(L"root\\cimv2");
    } catch (const _com_error& error) {
        raised = error.Error();
    }
    EXPECT_EQ(raised, E_OUTOFMEMORY);

    VARIANT number;
    VariantInit(&number);
    number.vt = VT_I4;
    number.lVal = 1;
    EXPECT_EQ(VariantChangeType(&number, &number, 0, VT_BSTR), E_OUTOFMEMORY);
    EXPECT_EQ(number.vt, VT_I4);

    posix_testing::FailBstrAllocationsAfter(-1);
    _bstr_t text(L"back");
    EXPECT_EQ(text.length(), 4u);
}

}  // namespace
