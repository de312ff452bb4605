#include "machine_providers/provider_locator.h"

#include "machine_providers/providers.h"
#include "platform/owners.h"
#include "wmi_service/wbem_locator.h"

#include <new>

namespace machine_providers {

HRESULT CreateMachineLocator(REFIID riid, void** object) {
    return CreateMachineLocatorOver(nullptr, riid, object);
}

HRESULT CreateMachineLocatorOver(IWbemLocator* fallback, REFIID riid, void** object) {
    try {
        std::vector<wmi_service::WbemNamespaceRoute> routes = {
            {L"root\\cimv2", CreateCimv2Services},
            {L"root\\Vantrel\\InstrumentedBIOS", CreateVendorBiosServices},
        };
        return wmi_service::CreateRoutingLocator(
            std::move(routes), ComPtr<IWbemLocator>::Share(fallback), riid, object);
    } catch (const std::bad_alloc&) {
        if (object) *object = nullptr;
        return E_OUTOFMEMORY;
    }
}

}  // namespace machine_providers
