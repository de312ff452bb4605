// The COM runtime of the Linux layer: IUnknown and friends, apartment initialisation, process
// security, class activation and proxy blankets, with the names, signatures and codes of ole32.
#pragma once

#include "platform/posix/win_types.h"

// Interfaces are destroyed through Release only; the protected destructors say so and keep
// -Wnon-virtual-dtor quiet for every implementation.
struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;

  protected:
    ~IUnknown() = default;
};
using LPUNKNOWN = IUnknown*;

struct IClassFactory : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                                     void** ppvObject) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) = 0;

  protected:
    ~IClassFactory() = default;
};

struct IClientSecurity : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryBlanket(IUnknown* pProxy, DWORD* pAuthnSvc,
                                                   DWORD* pAuthzSvc, OLECHAR** pServerPrincName,
                                                   DWORD* pAuthnLevel, DWORD* pImpLevel,
                                                   void** pAuthInfo, DWORD* pCapabilites) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBlanket(IUnknown* pProxy, DWORD dwAuthnSvc,
                                                 DWORD dwAuthzSvc, OLECHAR* pServerPrincName,
                                                 DWORD dwAuthnLevel, DWORD dwImpLevel,
                                                 void* pAuthInfo, DWORD dwCapabilities) = 0;
    virtual HRESULT STDMETHODCALLTYPE CopyProxy(IUnknown* pProxy, IUnknown** ppCopy) = 0;

  protected:
    ~IClientSecurity() = default;
};

inline constexpr IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IClientSecurity = {
    0x0000013d, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

enum tagCOINIT {
    COINIT_APARTMENTTHREADED = 0x2,
    COINIT_MULTITHREADED = 0x0,
    COINIT_SPEED_OVER_MEMORY = 0x8
};
using COINIT = tagCOINIT;

enum tagCLSCTX { CLSCTX_INPROC_SERVER = 0x1, CLSCTX_LOCAL_SERVER = 0x4 };
using CLSCTX = tagCLSCTX;

enum tagREGCLS { REGCLS_MULTIPLEUSE = 1 };
using REGCLS = tagREGCLS;

enum tagEOLE_AUTHENTICATION_CAPABILITIES { EOAC_NONE = 0x0 };
using EOLE_AUTHENTICATION_CAPABILITIES = tagEOLE_AUTHENTICATION_CAPABILITIES;

#define RPC_C_AUTHN_LEVEL_DEFAULT 0
#define RPC_C_AUTHN_LEVEL_CALL 3
#define RPC_C_IMP_LEVEL_IMPERSONATE 3
#define RPC_C_AUTHN_WINNT 10
#define RPC_C_AUTHZ_NONE 0

using RPC_AUTH_IDENTITY_HANDLE = void*;

struct SOLE_AUTHENTICATION_SERVICE {
    DWORD dwAuthnSvc;
    DWORD dwAuthzSvc;
    OLECHAR* pPrincipalName;
    HRESULT hr;
};

// Apartment initialisation, counted per thread: S_OK the first time, S_FALSE after that,
// RPC_E_CHANGED_MODE for another apartment model on a thread already initialised.
HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
void CoUninitialize();

// Process-wide security: the first call wins, every later one fails with RPC_E_TOO_LATE.
HRESULT CoInitializeSecurity(PSECURITY_DESCRIPTOR pSecDesc, LONG cAuthSvc,
                             SOLE_AUTHENTICATION_SERVICE* asAuthSvc, void* pReserved1,
                             DWORD dwAuthnLevel, DWORD dwImpLevel, void* pAuthList,
                             DWORD dwCapabilities, void* pReserved3);

// Class activation: a class object registered with CoRegisterClassObject comes first; the
// layer itself serves CLSID_WbemLocator through the built-in locator (below), where one is
// installed; any other class is not registered.
HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                         LPVOID* ppv);
HRESULT CoRegisterClassObject(REFCLSID rclsid, LPUNKNOWN pUnk, DWORD dwClsContext, DWORD flags,
                              LPDWORD lpdwRegister);
HRESULT CoRevokeClassObject(DWORD dwRegister);

// Asks the proxy for IClientSecurity and forwards to its SetBlanket.
HRESULT CoSetProxyBlanket(IUnknown* pProxy, DWORD dwAuthnSvc, DWORD dwAuthzSvc,
                          OLECHAR* pServerPrincName, DWORD dwAuthnLevel, DWORD dwImpLevel,
                          RPC_AUTH_IDENTITY_HANDLE pAuthInfo, DWORD dwCapabilities);

namespace posix {

// Creates the machine's WMI locator; what Windows's own WMI service is to the Windows build.
using WbemLocatorCreator = HRESULT (*)(REFIID riid, void** object);

// Installs the locator that CoCreateInstance serves for CLSID_WbemLocator when nothing is
// registered for it (nullptr removes it). The machine providers sit above this layer, so the
// program (and a test of the whole run) installs them at start.
void SetBuiltInWbemLocator(WbemLocatorCreator create);

}  // namespace posix
