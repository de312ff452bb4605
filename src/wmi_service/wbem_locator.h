// An IWbemLocator that connects to the namespaces of its routes and passes every other one to
// a fallback locator, or answers WBEM_E_INVALID_NAMESPACE without one. Namespaces are matched
// without regard to letter case, with or without the local server prefix (\\.\ or //./), so
// "\\.\root\cimv2" and "ROOT\CIMV2" are the same. A null namespace or out pointer is
// WBEM_E_INVALID_PARAMETER.
#pragma once

#include "platform/owners.h"
#include "platform/platform.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace wmi_service {

struct WbemNamespaceRoute {
    std::wstring nameSpace;  // for example root\cimv2
    std::function<HRESULT(IWbemServices** services)> connect;
};

// True when `requested` names the local namespace `served`.
bool IsSameNamespace(std::wstring_view requested, std::wstring_view served);

// A new routing locator, handed out as `riid`.
HRESULT CreateRoutingLocator(std::vector<WbemNamespaceRoute> routes, ComPtr<IWbemLocator> fallback,
                             REFIID riid, void** object);

}  // namespace wmi_service
