// The COM runtime of the Linux layer. Apartments are counted per thread; the class-object
// table and the security flag belong to the process.
#include "platform/posix/com.h"

#include "platform/owners.h"
#include "platform/platform.h"

#include <atomic>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {

struct Apartment {
    ULONG initCount = 0;
    bool singleThreaded = false;
};

thread_local Apartment apartment;

struct Registration {
    DWORD cookie;
    CLSID clsid;
    DWORD context;
    ComPtr<IUnknown> object;
    std::thread::id owner;
};

class ClassTable {
  public:
    // Registrations still alive at process exit are not released: their objects may be gone
    // by then, as on Windows, where nothing is released at exit either.
    ~ClassTable() {
        for (Registration& registration : registrations) registration.object.detach();
    }

    std::mutex mutex;
    std::vector<Registration> registrations;
    DWORD nextCookie = 1;
    bool securityInitialized = false;
};

ClassTable& Table() {
    static ClassTable table;
    return table;
}

// The object registered for clsid in one of the contexts, with a reference for the caller.
ComPtr<IUnknown> FindRegistered(REFCLSID clsid, DWORD context) {
    ClassTable& table = Table();
    std::lock_guard lock(table.mutex);
    for (const Registration& registration : table.registrations) {
        if (registration.clsid == clsid && (registration.context & context) != 0) {
            return registration.object;
        }
    }
    return {};
}

// Revokes what the calling thread registered; its apartment has ended.
void RevokeThreadRegistrations() {
    std::vector<Registration> revoked;
    {
        ClassTable& table = Table();
        std::lock_guard lock(table.mutex);
        const std::thread::id self = std::this_thread::get_id();
        auto& all = table.registrations;
        for (auto it = all.begin(); it != all.end();) {
            if (it->owner == self) {
                revoked.push_back(std::move(*it));
                it = all.erase(it);
            } else {
                ++it;
            }
        }
    }
    // The references are released here, outside the lock: Release may call back into COM.
}

std::atomic<posix::WbemLocatorCreator> builtInLocator{nullptr};

bool IsBuiltInLocator(REFCLSID clsid, DWORD context) {
    return clsid == CLSID_WbemLocator && (context & CLSCTX_INPROC_SERVER) != 0 &&
           builtInLocator.load() != nullptr;
}

HRESULT CreateBuiltInLocator(IUnknown* outer, REFIID riid, void** object) {
    // The machine locator cannot be aggregated.
    if (outer) return CLASS_E_NOAGGREGATION;
    const posix::WbemLocatorCreator create = builtInLocator.load();
    if (!create) return REGDB_E_CLASSNOTREG;
    return create(riid, object);
}

}  // namespace

HRESULT CoInitializeEx(LPVOID /*pvReserved*/, DWORD dwCoInit) {
    const bool singleThreaded = (dwCoInit & COINIT_APARTMENTTHREADED) != 0;
    if (apartment.initCount == 0) {
        apartment.singleThreaded = singleThreaded;
        apartment.initCount = 1;
        return S_OK;
    }
    if (apartment.singleThreaded != singleThreaded) return RPC_E_CHANGED_MODE;
    ++apartment.initCount;
    return S_FALSE;
}

void CoUninitialize() {
    if (apartment.initCount == 0) return;
    if (--apartment.initCount == 0) RevokeThreadRegistrations();
}

HRESULT CoInitializeSecurity(PSECURITY_DESCRIPTOR /*pSecDesc*/, LONG /*cAuthSvc*/,
                             SOLE_AUTHENTICATION_SERVICE* /*asAuthSvc*/, void* /*pReserved1*/,
                             DWORD /*dwAuthnLevel*/, DWORD /*dwImpLevel*/, void* /*pAuthList*/,
                             DWORD /*dwCapabilities*/, void* /*pReserved3*/) {
    if (apartment.initCount == 0) return CO_E_NOTINITIALIZED;
    ClassTable& table = Table();
    std::lock_guard lock(table.mutex);
    if (table.securityInitialized) return RPC_E_TOO_LATE;
    // Nothing to apply: every object here lives in this process. Only the once-only rule
    // is observable.
    table.securityInitialized = true;
    return S_OK;
}

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                         LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (apartment.initCount == 0) return CO_E_NOTINITIALIZED;
    if (ComPtr<IUnknown> registered = FindRegistered(rclsid, dwClsContext)) {
        ComPtr<IClassFactory> factory;
        const HRESULT hr = registered->QueryInterface(IID_IClassFactory, factory.put_void());
        if (FAILED(hr)) return hr;
        return factory->CreateInstance(pUnkOuter, riid, ppv);
    }
    if (IsBuiltInLocator(rclsid, dwClsContext)) {
        return CreateBuiltInLocator(pUnkOuter, riid, ppv);
    }
    return REGDB_E_CLASSNOTREG;
}

HRESULT CoRegisterClassObject(REFCLSID rclsid, LPUNKNOWN pUnk, DWORD dwClsContext, DWORD /*flags*/,
                              LPDWORD lpdwRegister) {
    if (!pUnk || !lpdwRegister) return E_INVALIDARG;
    if (apartment.initCount == 0) return CO_E_NOTINITIALIZED;
    ClassTable& table = Table();
    std::lock_guard lock(table.mutex);
    const DWORD cookie = table.nextCookie++;
    table.registrations.push_back(Registration{
        cookie, rclsid, dwClsContext, ComPtr<IUnknown>::Share(pUnk), std::this_thread::get_id()});
    *lpdwRegister = cookie;
    return S_OK;
}

HRESULT CoRevokeClassObject(DWORD dwRegister) {
    ComPtr<IUnknown> revoked;  // released after the lock is dropped
    ClassTable& table = Table();
    std::lock_guard lock(table.mutex);
    auto& all = table.registrations;
    for (auto it = all.begin(); it != all.end(); ++it) {
        if (it->cookie == dwRegister) {
            revoked = std::move(it->object);
            all.erase(it);
            return S_OK;
        }
    }
    return E_INVALIDARG;
}

HRESULT CoSetProxyBlanket(IUnknown* pProxy, DWORD dwAuthnSvc, DWORD dwAuthzSvc,
                          OLECHAR* pServerPrincName, DWORD dwAuthnLevel, DWORD dwImpLevel,
                          RPC_AUTH_IDENTITY_HANDLE pAuthInfo, DWORD dwCapabilities) {
    if (!pProxy) return E_INVALIDARG;
    ComPtr<IClientSecurity> security;
    const HRESULT hr = pProxy->QueryInterface(IID_IClientSecurity, security.put_void());
    if (FAILED(hr)) return hr;
    return security->SetBlanket(pProxy, dwAuthnSvc, dwAuthzSvc, pServerPrincName, dwAuthnLevel,
                                dwImpLevel, pAuthInfo, dwCapabilities);
}

namespace posix {

void SetBuiltInWbemLocator(WbemLocatorCreator create) { builtInLocator.store(create); }

}  // namespace posix
