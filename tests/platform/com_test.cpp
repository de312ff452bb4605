// COM start-up and class activation as the WMI client and the test seam use them. The same
// tests run against Wine's COM in the Windows build. Each runs on a thread of its own, which
// starts without COM, so that no test depends on what ran before it in the process.
#include "platform/owners.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

template <typename Body>
void OnFreshThread(Body body) {
    std::thread thread(body);
    thread.join();
}

// Undoes the COM initialisation of the current thread that it made.
class ComScope {
  public:
    ComScope() : result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(result)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    const HRESULT result;
};

constexpr CLSID kUnknownClass = {
    0x6a1f3c2e, 0x51b4, 0x4c7d, {0x9e, 0x21, 0x0b, 0x7a, 0x44, 0x90, 0x13, 0x5c}};

// A class object that creates itself: enough to see which class object CoCreateInstance used,
// what it was asked for, and whether references balance. Optionally it answers
// IClientSecurity and records SetBlanket.
// Lives on the test's stack; the SDK's interfaces have no virtual destructor.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class FakeClass final : public IClassFactory, public IClientSecurity {
  public:
    explicit FakeClass(bool withSecurity = false) : withSecurity_(withSecurity) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
        } else if (withSecurity_ && IsEqualIID(riid, IID_IClientSecurity)) {
            *object = static_cast<IClientSecurity*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        ++created;
        sawOuter = outer != nullptr;
        if (outer) {
            *object = nullptr;
            return CLASS_E_NOAGGREGATION;
        }
        return QueryInterface(riid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

    HRESULT STDMETHODCALLTYPE QueryBlanket(IUnknown*, DWORD*, DWORD*, OLECHAR**, DWORD*, DWORD*,
                                           void**, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetBlanket(IUnknown* proxy, DWORD authnSvc, DWORD authzSvc,
                                         OLECHAR* principal, DWORD authnLevel, DWORD impLevel,
                                         void* authInfo, DWORD capabilities) override {
        ++blanketCalls;
        blanketProxy = proxy;
        blanket = {authnSvc, authzSvc, authnLevel, impLevel, capabilities};
        blanketHadNames = principal != nullptr || authInfo != nullptr;
        return blanketResult;
    }
    HRESULT STDMETHODCALLTYPE CopyProxy(IUnknown*, IUnknown** copy) override {
        *copy = nullptr;
        return E_NOTIMPL;
    }

    IUnknown* Identity() { return static_cast<IClassFactory*>(this); }

    struct Blanket {
        DWORD authnSvc, authzSvc, authnLevel, impLevel, capabilities;
    };
    ULONG refs = 1;
    int created = 0;
    bool sawOuter = false;
    int blanketCalls = 0;
    IUnknown* blanketProxy = nullptr;
    Blanket blanket{};
    bool blanketHadNames = false;
    HRESULT blanketResult = S_OK;

  private:
    bool withSecurity_;
};
#pragma GCC diagnostic pop

TEST(CoInitializeExTest, CountsPerThreadAndRefusesAnotherModel) {
    OnFreshThread([] {
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_SPEED_OVER_MEMORY),
                  S_OK);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
        // Another thread has an apartment of its own.
        OnFreshThread([] {
            EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
            CoUninitialize();
        });
        CoUninitialize();
        // Still initialised once: the refused call did not count.
        IUnknown* object = nullptr;
        EXPECT_EQ(CoCreateInstance(kUnknownClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(&object)),
                  REGDB_E_CLASSNOTREG);
        CoUninitialize();
        EXPECT_EQ(CoCreateInstance(kUnknownClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(&object)),
                  CO_E_NOTINITIALIZED);
        EXPECT_EQ(object, nullptr);
    });
}

TEST(CoCreateInstanceTest, NeedsComOnTheThread) {
    OnFreshThread([] {
        FakeClass fake;
        DWORD cookie = 0;
        EXPECT_EQ(CoRegisterClassObject(CLSID_WbemLocator, fake.Identity(), CLSCTX_INPROC_SERVER,
                                        REGCLS_MULTIPLEUSE, &cookie),
                  CO_E_NOTINITIALIZED);
        ComPtr<IWbemLocator> locator;
        EXPECT_EQ(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWbemLocator, locator.put_void()),
                  CO_E_NOTINITIALIZED);
        EXPECT_EQ(fake.refs, 1u);
    });
}

TEST(CoCreateInstanceTest, UnknownClassIsNotRegistered) {
    OnFreshThread([] {
        ComScope com;
        ComPtr<IUnknown> object;
        EXPECT_EQ(CoCreateInstance(kUnknownClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   object.put_void()),
                  REGDB_E_CLASSNOTREG);
        EXPECT_FALSE(object);
        EXPECT_EQ(
            CoCreateInstance(kUnknownClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr),
            E_POINTER);
    });
}

TEST(CoRegisterClassObjectTest, RegisteredClassObjectComesFirstUntilRevoked) {
    OnFreshThread([] {
        ComScope com;
        FakeClass fake;
        DWORD cookie = 0;
        ASSERT_EQ(CoRegisterClassObject(CLSID_WbemLocator, fake.Identity(), CLSCTX_INPROC_SERVER,
                                        REGCLS_MULTIPLEUSE, &cookie),
                  S_OK);
        EXPECT_EQ(fake.refs, 2u);  // the registration holds a reference
        {
            ComPtr<IClassFactory> created;
            ASSERT_EQ(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IClassFactory, created.put_void()),
                      S_OK);
            EXPECT_EQ(created.get(), static_cast<IClassFactory*>(&fake));
            EXPECT_EQ(fake.created, 1);
        }
        // The interface asked for is the class object's business.
        ComPtr<IWbemLocator> locator;
        EXPECT_EQ(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWbemLocator, locator.put_void()),
                  E_NOINTERFACE);
        EXPECT_EQ(fake.created, 2);

        EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
        EXPECT_EQ(fake.refs, 1u);
        EXPECT_EQ(CoRevokeClassObject(cookie), E_INVALIDARG);
        ComPtr<IUnknown> other;
        CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                         other.put_void());
        EXPECT_EQ(fake.created, 2);  // whatever serves the class now, it is not the fake
        EXPECT_EQ(fake.refs, 1u);
    });
}

TEST(CoRegisterClassObjectTest, AggregationIsLeftToTheClassObject) {
    OnFreshThread([] {
        ComScope com;
        FakeClass fake;
        FakeClass outer;
        DWORD cookie = 0;
        ASSERT_EQ(CoRegisterClassObject(CLSID_WbemLocator, fake.Identity(), CLSCTX_INPROC_SERVER,
                                        REGCLS_MULTIPLEUSE, &cookie),
                  S_OK);
        ComPtr<IUnknown> object;
        EXPECT_EQ(CoCreateInstance(CLSID_WbemLocator, outer.Identity(), CLSCTX_INPROC_SERVER,
                                   IID_IUnknown, object.put_void()),
                  CLASS_E_NOAGGREGATION);
        EXPECT_TRUE(fake.sawOuter);
        EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
    });
}

TEST(CoRegisterClassObjectTest, EndingTheApartmentRevokesItsRegistrations) {
    OnFreshThread([] {
        FakeClass fake;
        DWORD cookie = 0;
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        ASSERT_EQ(CoRegisterClassObject(CLSID_WbemLocator, fake.Identity(), CLSCTX_INPROC_SERVER,
                                        REGCLS_MULTIPLEUSE, &cookie),
                  S_OK);
        CoUninitialize();
        EXPECT_EQ(fake.refs, 1u);
        ComScope again;
        EXPECT_EQ(CoRevokeClassObject(cookie), E_INVALIDARG);
        ComPtr<IUnknown> other;
        CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                         other.put_void());
        EXPECT_EQ(fake.created, 0);
    });
}

TEST(CoSetProxyBlanketTest, ObjectWithoutClientSecurityIsRefused) {
    FakeClass plain;
    EXPECT_EQ(
        CoSetProxyBlanket(plain.Identity(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                          RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE),
        E_NOINTERFACE);
    EXPECT_EQ(plain.refs, 1u);
}

TEST(CoSetProxyBlanketTest, ForwardsToSetBlanketAndReturnsItsResult) {
    FakeClass secured(/*withSecurity=*/true);
    secured.blanketResult = E_ACCESSDENIED;
    EXPECT_EQ(
        CoSetProxyBlanket(secured.Identity(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                          RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE),
        E_ACCESSDENIED);
    EXPECT_EQ(secured.blanketCalls, 1);
    EXPECT_EQ(secured.blanketProxy, secured.Identity());
    EXPECT_EQ(secured.blanket.authnSvc, DWORD{RPC_C_AUTHN_WINNT});
    EXPECT_EQ(secured.blanket.authzSvc, DWORD{RPC_C_AUTHZ_NONE});
    EXPECT_EQ(secured.blanket.authnLevel, DWORD{RPC_C_AUTHN_LEVEL_CALL});
    EXPECT_EQ(secured.blanket.impLevel, DWORD{RPC_C_IMP_LEVEL_IMPERSONATE});
    EXPECT_EQ(secured.blanket.capabilities, DWORD{EOAC_NONE});
    EXPECT_FALSE(secured.blanketHadNames);
    EXPECT_EQ(secured.refs, 1u);
}

}  // namespace
