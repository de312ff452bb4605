// The machine's WMI locator: root\cimv2 and root\Vantrel\InstrumentedBIOS from the machine's
// own providers (providers.h). The Linux layer's CoCreateInstance serves CLSID_WbemLocator
// with it; the Windows machine stand-in passes the other namespaces to the system's locator.
#pragma once

#include "platform/platform.h"

namespace machine_providers {

// Unknown namespaces get WBEM_E_INVALID_NAMESPACE.
HRESULT CreateMachineLocator(REFIID riid, void** object);

// Unknown namespaces go to `fallback` (which may be null).
HRESULT CreateMachineLocatorOver(IWbemLocator* fallback, REFIID riid, void** object);

}  // namespace machine_providers
