// The machine's own WMI providers, served from the machine root. Each creates a services object
// for its namespace, or fails with WBEM_E_INVALID_NAMESPACE when the machine lacks the source
// (a machine without firmware-attributes has no vendor BIOS namespace).
#pragma once

#include "platform/platform.h"

namespace machine_providers {

// "\\.\root\cimv2": machine facts from sysfs and SMBIOS.
HRESULT CreateCimv2Services(IWbemServices** services);

// "\\.\root\Vantrel\InstrumentedBIOS": BIOS settings from the kernel's firmware-attributes class.
HRESULT CreateVendorBiosServices(IWbemServices** services);

}  // namespace machine_providers
