// WQL text, parsed alone and answered by both machine providers on a sample notebook.
#include "fuzz_machine.h"
#include "machine_providers/firmware_text.h"
#include "machine_providers/providers.h"
#include "platform/owners.h"
#include "platform/platform.h"
#include "wmi_service/bstr.h"
#include "wmi_service/variant.h"
#include "wmi_service/wql.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

// Answers `query` and reads every selected property of every instance.
void Ask(IWbemServices* services, const UniqueBstr& language, const UniqueBstr& query,
         const wmi_service::WqlQuery& parsed, bool parsedOk) {
    ComPtr<IEnumWbemClassObject> enumerator;
    const HRESULT hr = services->ExecQuery(language.get(), query.get(),
                                           WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                           /*context=*/nullptr, enumerator.put());
    // The services' own parser refuses what the parser refuses.
    if (!parsedOk && SUCCEEDED(hr)) std::abort();
    if (FAILED(hr)) return;
    for (;;) {
        ComPtr<IWbemClassObject> object;
        ULONG returned = 0;
        if (enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 1, object.put(), &returned) !=
                WBEM_S_NO_ERROR ||
            returned != 1) {
            break;
        }
        for (const auto& property : parsed.properties) {
            wmi_service::Variant value;
            object->Get(property.c_str(), 0, value.get(), /*type=*/nullptr, /*flavor=*/nullptr);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::FuzzMachine machine;
    static ComPtr<IWbemServices> cimv2;
    static ComPtr<IWbemServices> bios;
    if (!cimv2) {
        machine.CopyTree(fuzz::SampleMachinesFolder() / "vantrel-notebook");
        if (FAILED(machine_providers::CreateCimv2Services(cimv2.put())) ||
            FAILED(machine_providers::CreateVendorBiosServices(bios.put()))) {
            std::abort();
        }
    }
    const std::wstring text = machine_providers::DecodeMachineText(
        std::string_view(reinterpret_cast<const char*>(data), size));
    wmi_service::WqlQuery parsed;
    // ExecQuery reads its BSTR as WMI does, up to the first NUL.
    const bool parsedOk = SUCCEEDED(wmi_service::ParseWql(std::wstring_view(text.c_str()), parsed));
    const UniqueBstr language = wmi_service::CopyBstr(L"WQL");
    const UniqueBstr query = wmi_service::CopyBstr(text);
    Ask(cimv2.get(), language, query, parsed, parsedOk);
    Ask(bios.get(), language, query, parsed, parsedOk);
    return 0;
}
