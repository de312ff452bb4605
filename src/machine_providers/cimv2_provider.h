// root\cimv2 as the machine tree gives it: the five classes the tool asks about, each read
// afresh from sysfs for every query.
//
//   Win32_SystemEnclosure       ChassisTypes (uint16[], delivered as VT_ARRAY | VT_I4) from
//                               sys/class/dmi/id/chassis_type
//   Win32_ComputerSystem        OEMStringArray (string[]) from the SMBIOS type 11 structure;
//                               Name from proc/sys/kernel/hostname
//   Win32_ComputerSystemProduct Vendor (sys_vendor), Name (product_name), Version, UUID,
//                               IdentifyingNumber
//   Win32_Battery               one instance per battery of sys/class/power_supply
//   Win32_BIOS                  Manufacturer (bios_vendor), Name and SMBIOSBIOSVersion
//                               (bios_version), ReleaseDate (datetime from bios_date)
//
// A missing or unusable file gives a NULL property; a missing source gives no instance (no
// sys/class/dmi/id: no enclosure, product or BIOS instance). The computer system is always
// there.
#pragma once

#include "platform/platform.h"
#include "wmi_service/wbem_services.h"

namespace machine_providers {

inline constexpr const wchar_t* kCimv2Namespace = L"root\\cimv2";

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class Cimv2Services : public wmi_service::WbemServices {
  public:
    Cimv2Services();

  protected:
    ~Cimv2Services() override = default;
};
#pragma GCC diagnostic pop

}  // namespace machine_providers
