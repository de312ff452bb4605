#include "machine_providers/cimv2_provider.h"

#include "machine_providers/cimv2_sources.h"
#include "machine_providers/providers.h"
#include "machine_providers/smbios_oem_strings.h"
#include "wmi_service/variant.h"
#include "wmi_service/wbem_object_builder.h"

#include <new>
#include <optional>
#include <string>

namespace machine_providers {
namespace {

using wmi_service::Variant;
using wmi_service::WbemInstances;
using wmi_service::WbemObjectBuilder;

constexpr CIMTYPE kUInt16Array = CIM_UINT16 | CIM_FLAG_ARRAY;
constexpr CIMTYPE kStringArray = CIM_STRING | CIM_FLAG_ARRAY;

// A string property that is NULL when the machine has no value for it.
void SetText(WbemObjectBuilder& object, std::wstring_view name,
             const std::optional<std::wstring>& text, CIMTYPE type = CIM_STRING) {
    if (text) {
        object.Set(name, Variant::String(*text), type);
    } else {
        object.Declare(name, type);
    }
}

// A DMI text property, read only when the request shows it.
void SetDmiText(WbemObjectBuilder& object, const wmi_service::WbemRequest& request,
                std::wstring_view name, std::string_view file) {
    SetText(object, name, request.Wants(name) ? ReadDmiText(file) : std::nullopt);
}

WbemObjectBuilder EnclosureClass() {
    return WbemObjectBuilder::Class(L"Win32_SystemEnclosure")
        .Declare(L"Tag", CIM_STRING)
        .Declare(L"ChassisTypes", kUInt16Array)
        .Declare(L"Manufacturer", CIM_STRING)
        .Key(L"Tag");
}

HRESULT ProduceEnclosure(const WbemObjectBuilder& description,
                         const wmi_service::WbemRequest& request, WbemInstances& instances) {
    if (!HasDmiFolder()) return S_OK;
    WbemObjectBuilder enclosure = description.Instance();
    enclosure.Set(L"Tag", L"System Enclosure 0");
    const std::optional<std::string> text =
        request.Wants(L"ChassisTypes") ? ReadDmiAttribute("chassis_type") : std::nullopt;
    if (const std::optional<std::int32_t> chassis = text ? ParseChassisType(*text) : std::nullopt) {
        // WMI delivers uint16 arrays as arrays of 32-bit integers.
        enclosure.Set(L"ChassisTypes", Variant::Int32s({*chassis}), kUInt16Array);
    }
    SetDmiText(enclosure, request, L"Manufacturer", "chassis_vendor");
    instances.push_back(enclosure.Build());
    return S_OK;
}

WbemObjectBuilder ComputerSystemClass() {
    return WbemObjectBuilder::Class(L"Win32_ComputerSystem")
        .Declare(L"Name", CIM_STRING)
        .Declare(L"Manufacturer", CIM_STRING)
        .Declare(L"Model", CIM_STRING)
        .Declare(L"OEMStringArray", kStringArray)
        .Key(L"Name");
}

HRESULT ProduceComputerSystem(const WbemObjectBuilder& description,
                              const wmi_service::WbemRequest& request, WbemInstances& instances) {
    WbemObjectBuilder system = description.Instance();
    SetText(system, L"Name", request.Wants(L"Name") ? ReadHostName() : std::nullopt);
    SetDmiText(system, request, L"Manufacturer", "sys_vendor");
    SetDmiText(system, request, L"Model", "product_name");
    if (request.Wants(L"OEMStringArray")) {
        if (const std::optional<std::vector<std::wstring>> strings = ReadOemStrings()) {
            system.Set(L"OEMStringArray", Variant::Strings(*strings), kStringArray);
        }
    }
    instances.push_back(system.Build());
    return S_OK;
}

WbemObjectBuilder ProductClass() {
    return WbemObjectBuilder::Class(L"Win32_ComputerSystemProduct")
        .Declare(L"IdentifyingNumber", CIM_STRING)
        .Declare(L"Name", CIM_STRING)
        .Declare(L"Version", CIM_STRING)
        .Declare(L"Vendor", CIM_STRING)
        .Declare(L"UUID", CIM_STRING)
        .Key(L"IdentifyingNumber")
        .Key(L"Name")
        .Key(L"Version");
}

HRESULT ProduceProduct(const WbemObjectBuilder& description,
                       const wmi_service::WbemRequest& request, WbemInstances& instances) {
    if (!HasDmiFolder()) return S_OK;
    WbemObjectBuilder product = description.Instance();
    SetDmiText(product, request, L"IdentifyingNumber", "product_serial");
    SetDmiText(product, request, L"Name", "product_name");
    SetDmiText(product, request, L"Version", "product_version");
    SetDmiText(product, request, L"Vendor", "sys_vendor");
    SetDmiText(product, request, L"UUID", "product_uuid");
    instances.push_back(product.Build());
    return S_OK;
}

WbemObjectBuilder BatteryClass() {
    return WbemObjectBuilder::Class(L"Win32_Battery")
        .Declare(L"DeviceID", CIM_STRING)
        .Declare(L"Name", CIM_STRING)
        .Key(L"DeviceID");
}

HRESULT ProduceBatteries(const WbemObjectBuilder& description,
                         const wmi_service::WbemRequest& request, WbemInstances& instances) {
    const bool wantsName = request.Wants(L"Name");
    for (const BatteryFacts& battery :
         ListBatteries(wantsName ? FileRequest{"model_name"} : FileRequest())) {
        WbemObjectBuilder instance = description.Instance();
        instance.Set(L"DeviceID", battery.folder);
        if (wantsName) instance.Set(L"Name", battery.name);
        instances.push_back(instance.Build());
    }
    return S_OK;
}

WbemObjectBuilder BiosClass() {
    return WbemObjectBuilder::Class(L"Win32_BIOS")
        .Declare(L"Name", CIM_STRING)
        .Declare(L"Manufacturer", CIM_STRING)
        .Declare(L"ReleaseDate", CIM_DATETIME)
        .Declare(L"SMBIOSBIOSVersion", CIM_STRING)
        .Declare(L"Version", CIM_STRING)
        .Key(L"Name");
}

HRESULT ProduceBios(const WbemObjectBuilder& description, const wmi_service::WbemRequest& request,
                    WbemInstances& instances) {
    if (!HasDmiFolder()) return S_OK;
    WbemObjectBuilder bios = description.Instance();
    const std::optional<std::wstring> version =
        request.Wants(L"Name") || request.Wants(L"SMBIOSBIOSVersion") ? ReadDmiText("bios_version")
                                                                      : std::nullopt;
    SetText(bios, L"Name", version);
    SetText(bios, L"SMBIOSBIOSVersion", version);
    SetDmiText(bios, request, L"Manufacturer", "bios_vendor");
    const std::optional<std::string> date =
        request.Wants(L"ReleaseDate") ? ReadDmiAttribute("bios_date") : std::nullopt;
    SetText(bios, L"ReleaseDate", date ? BiosDateToCimText(*date) : std::nullopt, CIM_DATETIME);
    instances.push_back(bios.Build());
    return S_OK;
}

}  // namespace

Cimv2Services::Cimv2Services() : WbemServices(kCimv2Namespace) {
    AddClass(wmi_service::MakeClassRow(EnclosureClass(), ProduceEnclosure));
    AddClass(wmi_service::MakeClassRow(ComputerSystemClass(), ProduceComputerSystem));
    AddClass(wmi_service::MakeClassRow(ProductClass(), ProduceProduct));
    AddClass(wmi_service::MakeClassRow(BatteryClass(), ProduceBatteries));
    AddClass(wmi_service::MakeClassRow(BiosClass(), ProduceBios));
}

HRESULT CreateCimv2Services(IWbemServices** services) {
    return wmi_service::CreateServices<Cimv2Services>(services);
}

}  // namespace machine_providers
