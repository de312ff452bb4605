#include "platform/wbem/wbem_locator.h"

#include "platform/wbem/com_object.h"
#include "platform/wbem/wbem_text.h"

#include <new>
#include <utility>

namespace wbem {

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

// COM interfaces have no virtual destructor; this object is deleted only by its own Release.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class RoutingLocator final : public IWbemLocator {
  public:
    RoutingLocator(std::vector<WbemNamespaceRoute> routes, ComPtr<IWbemLocator> fallback)
        : routes_(std::move(routes)), fallback_(std::move(fallback)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IWbemLocator)) {
            *object = static_cast<IWbemLocator*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.Add(); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = refs_.Drop();
        if (left == 0) delete this;
        return left;
    }

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
    RefCount refs_;
    std::vector<WbemNamespaceRoute> routes_;
    ComPtr<IWbemLocator> fallback_;
};
#pragma GCC diagnostic pop

}  // namespace

bool IsSameNamespace(std::wstring_view requested, std::wstring_view served) {
    return SameText(LocalPath(requested), LocalPath(served));
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

}  // namespace wbem
