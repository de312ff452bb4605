// root\Vantrel\InstrumentedBIOS as the kernel's firmware-attributes class gives it, read afresh
// from sys/class/firmware-attributes/vantrel-wmi/ for every query. Only Vantrel's device is
// served; without it the namespace does not exist, whatever other makers' devices are there.
//
//   Vantrel_BIOSSetting           one instance per attributes/<N>/: Name, CurrentValue, Value,
//                                 Type, DisplayName, DefaultValue, PossibleValues; plus
//                                 "Setup Password" when the device has a setup password (role
//                                 bios-admin), with SupportedEncoding from its encodings file
//   VantrelBIOS_BIOSPassword      one instance per authentication/<folder>/: IsSet, and Name
//                                 after the role ("Setup Password" for bios-admin, "Power-On
//                                 Password" for power-on), else the folder's name
//   Vantrel_BIOSPassword          the same instances
//   Vantrel_BIOSSettingInterface  one instance; method SetBIOSSetting(Name, Value, Password)
//                                 -> Return (uint32), a write of attributes/<Name>/current_value
#pragma once

#include "platform/owners.h"
#include "platform/platform.h"
#include "wmi_service/wbem_services.h"

namespace machine_providers {

inline constexpr const wchar_t* kVendorBiosNamespacePath = L"root\\Vantrel\\InstrumentedBIOS";

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class VendorBiosServices : public wmi_service::WbemServices {
  public:
    VendorBiosServices();

    // SetBIOSSetting on the settings interface (its instance path or its class path). A wrong
    // method is WBEM_E_INVALID_METHOD, no input object WBEM_E_INVALID_METHOD_PARAMETERS; every
    // outcome of the write itself is the "Return" of a successful call.
    HRESULT STDMETHODCALLTYPE ExecMethod(const BSTR path, const BSTR method, LONG flags,
                                         IWbemContext* context, IWbemClassObject* inParams,
                                         IWbemClassObject** outParams,
                                         IWbemCallResult** result) override;

  protected:
    ~VendorBiosServices() override = default;

  private:
    ComPtr<IWbemClassObject> outSignature_;
};
#pragma GCC diagnostic pop

}  // namespace machine_providers
