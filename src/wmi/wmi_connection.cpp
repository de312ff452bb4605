#include "wmi/wmi_connection.h"

#include "platform/wbem_status.h"

namespace {

// Each result object is fetched on its own, with a bounded wait.
constexpr long kFetchTimeoutMs = 20000;
constexpr ULONG kFetchCount = 1;
constexpr long kQueryFlags = WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY;
// The process's default number of authentication services.
constexpr LONG kDefaultAuthenticationServices = -1;

// The query language name, allocated once per process and freed at exit.
const _bstr_t& QueryLanguage() {
    static const _bstr_t language(L"WQL");
    return language;
}

}  // namespace

WmiConnection::WmiConnection(const std::wstring& ns) {
    if (SUCCEEDED(guard.initResult)) {
        // Only the first call in the process takes effect; later ones fail harmlessly.
        static_cast<void>(CoInitializeSecurity(
            /*pSecDesc=*/nullptr, kDefaultAuthenticationServices, /*asAuthSvc=*/nullptr,
            /*pReserved1=*/nullptr, RPC_C_AUTHN_LEVEL_DEFAULT, RPC_C_IMP_LEVEL_IMPERSONATE,
            /*pAuthList=*/nullptr, EOAC_NONE, /*pReserved3=*/nullptr));
    }
    // A failed connection shows up later, as empty services.
    static_cast<void>(Connect(ns));
}

HRESULT WmiConnection::Connect(const std::wstring& ns) {
    services.reset();
    ComPtr<IWbemLocator> locator;
    HRESULT hr = CoCreateInstance(CLSID_WbemLocator, /*pUnkOuter=*/nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWbemLocator, locator.put_void());
    if (FAILED(hr)) return hr;

    const _bstr_t path(ns.c_str());
    hr = locator->ConnectServer(path, /*strUser=*/nullptr, /*strPassword=*/nullptr,
                                /*strLocale=*/nullptr, WBEM_FLAG_CONNECT_USE_MAX_WAIT,
                                /*strAuthority=*/nullptr, /*pCtx=*/nullptr, services.put());
    if (FAILED(hr)) {
        services.reset();
        return hr;
    }
    namespacePath = ns.c_str();

    hr = CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE,
                           /*pServerPrincName=*/nullptr, RPC_C_AUTHN_LEVEL_CALL,
                           RPC_C_IMP_LEVEL_IMPERSONATE, /*pAuthInfo=*/nullptr, EOAC_NONE);
    if (FAILED(hr)) {
        services.reset();
        return hr;
    }
    return S_OK;
}

HRESULT WmiConnection::RunQuery(const std::wstring& query) {
    if (!services) return Hr(WBEM_E_INITIALIZATION_FAILURE);
    enumerator.reset();
    const _bstr_t& language = QueryLanguage();
    const _bstr_t text(query.c_str());
    // A reference of the call's own, though `services` holds one: the services object must
    // outlive the call even if the connection's pointer is replaced or released while it runs.
    const ComPtr<IWbemServices> held = services;
    const HRESULT hr =
        held->ExecQuery(language, text, kQueryFlags, /*pCtx=*/nullptr, enumerator.put());
    // On failure the previous current object stays readable.
    if (FAILED(hr)) return hr;
    return FetchFirst();
}

HRESULT WmiConnection::SelectFirstInstance(const std::wstring& className) {
    if (!services) return Hr(WBEM_E_INITIALIZATION_FAILURE);
    enumerator.reset();
    const _bstr_t name(className.c_str());
    // A reference of the call's own, as in RunQuery.
    const ComPtr<IWbemServices> held = services;
    const HRESULT hr =
        held->CreateInstanceEnum(name, kQueryFlags, /*pCtx=*/nullptr, enumerator.put());
    if (FAILED(hr)) return hr;
    return FetchFirst();
}

bool WmiConnection::NextResult() {
    if (!enumerator) return false;
    ULONG returned = 0;
    return enumerator->Next(kFetchTimeoutMs, kFetchCount, current.put(), &returned) == S_OK;
}

HRESULT WmiConnection::FetchFirst() {
    if (!enumerator) return Hr(WBEM_E_INVALID_CLASS);
    current.reset();
    // The returned count is not needed: the code says whether an object came.
    ULONG returned = 0;
    return enumerator->Next(kFetchTimeoutMs, kFetchCount, current.put(), &returned);
}
