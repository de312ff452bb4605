// The SMBIOS type 11 structure, as the firmware hands it to the kernel.
#include "machine_providers/smbios_oem_strings.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view structure(reinterpret_cast<const char*>(data), size);
    const auto strings = machine_providers::ParseOemStrings(structure);
    // Every string is a piece of the structure: there cannot be more of them than bytes.
    if (strings && strings->size() > size) std::abort();
    return 0;
}
