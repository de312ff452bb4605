#include "wmi/com_init_guard.h"

#include <gtest/gtest.h>

namespace {

// Whether the calling thread is still joined to COM: a further initialisation then reports
// S_FALSE (or a mode change). The probe undoes its own initialisation.
bool ThreadStillInitialised(DWORD model) {
    const HRESULT hr = CoInitializeEx(nullptr, model);
    if (SUCCEEDED(hr)) CoUninitialize();
    return hr != S_OK;
}

TEST(ComInitGuardTest, FreshThreadIsInitialisedAndLeftClean) {
    {
        ComInitGuard guard;
        EXPECT_EQ(guard.initResult, S_OK);
        EXPECT_TRUE(ThreadStillInitialised(COINIT_APARTMENTTHREADED));
    }
    EXPECT_FALSE(ThreadStillInitialised(COINIT_APARTMENTTHREADED));
}

TEST(ComInitGuardTest, NestedGuardUndoesOnlyItsOwnInitialisation) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    {
        ComInitGuard guard;
        EXPECT_EQ(guard.initResult, S_FALSE);
    }
    EXPECT_TRUE(ThreadStillInitialised(COINIT_APARTMENTTHREADED));
    CoUninitialize();
    EXPECT_FALSE(ThreadStillInitialised(COINIT_APARTMENTTHREADED));
}

TEST(ComInitGuardTest, OtherApartmentModelIsLeftAlone) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    {
        ComInitGuard guard;
        EXPECT_EQ(guard.initResult, RPC_E_CHANGED_MODE);
    }
    // Had the guard uninitialised anyway, the thread would be free again here.
    EXPECT_TRUE(ThreadStillInitialised(COINIT_MULTITHREADED));
    CoUninitialize();
}

}  // namespace
