#include "wmi_service/wbem_locator.h"

#include "base/text.h"
#include "wmi_service/com_object.h"

#include <new>
#include <utility>

namespace wmi_service {

namespace {

// The path with \ for / and without a leading local server (\\.\).
std::wstring LocalPath(std::wstring_view path) {
    std::wstring normal(path);
    for (wchar_t& c : normal) {
        if (c == L'/') c = L'\\';
    }
    constexpr std::wstring_view kLocalServer = L"\\\\.\\";
    if (std::wstring_view(normal).starts_with(kLocalServer)) normal.erase(0, kLocalServer.size());
    return normal;
}

class RoutingLocator final : public ComObject<IWbemLocator> {
  public:
    RoutingLocator(std::vector<WbemNamespaceRoute> routes, ComPtr<IWbemLocator> fallback)
        : ComObject(IID_IWbemLocator), routes_(std::move(routes)), fallback_(std::move(fallback)) {}

    HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR nameSpace, const BSTR user,
                                            const BSTR password, const BSTR locale,
                                            LONG securityFlags, const BSTR authority,
                                            IWbemContext* context,
                                            IWbemServices** services) override {
        if (!services) return Hr(WBEM_E_INVALID_PARAMETER);
        *services = nullptr;
        if (!nameSpace) return Hr(WBEM_E_INVALID_PARAMETER);
        try {
            for (const WbemNamespaceRoute& route : routes_) {
                if (IsSameNamespace(nameSpace, route.nameSpace)) return route.connect(services);
            }
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        if (fallback_) {
            return fallback_->ConnectServer(nameSpace, user, password, locale, securityFlags,
                                            authority, context, services);
        }
        return Hr(WBEM_E_INVALID_NAMESPACE);
    }

  private:
    std::vector<WbemNamespaceRoute> routes_;
    ComPtr<IWbemLocator> fallback_;
};

}  // namespace

bool IsSameNamespace(std::wstring_view requested, std::wstring_view served) {
    return EqualsIgnoreCase(LocalPath(requested), LocalPath(served));
}

HRESULT CreateRoutingLocator(std::vector<WbemNamespaceRoute> routes, ComPtr<IWbemLocator> fallback,
                             REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    try {
        ComPtr<RoutingLocator> locator =
            MakeComObject<RoutingLocator>(std::move(routes), std::move(fallback));
        return locator->QueryInterface(riid, object);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace wmi_service
