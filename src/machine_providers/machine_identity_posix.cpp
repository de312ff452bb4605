// Linux: what the kernel shows every user, under the machine root: proc/sys/kernel/hostname and
// the DMI texts of sys/class/dmi/id (the same SMBIOS strings Windows copies into its registry),
// read by the same capped readers, with the same text rules, as the WMI profile reads them, so
// that the log and the profile never disagree about a machine.
#include "platform/machine_identity.h"

#include "machine_providers/cimv2_sources.h"

#include <exception>
#include <optional>

MachineIdentity ReadMachineIdentity() noexcept {
    try {
        return {machine_providers::ReadHostName().value_or(std::wstring()),
                machine_providers::ReadDmiText("product_name").value_or(std::wstring()),
                machine_providers::ReadDmiText("bios_version").value_or(std::wstring())};
    } catch (const std::exception&) {
        return {};
    }
}
