// Text conversions between the bytes that sysfs and SMBIOS hold and the wide text that WMI
// delivers (UTF-16 on Windows, UTF-32 on Linux).
#pragma once

#include <string>
#include <string_view>

namespace machine_providers {

// Bytes as UTF-8 when they are valid UTF-8 as a whole, else as Latin-1 (every byte one
// character), so that firmware text in an old code page still reads as something.
std::wstring DecodeMachineText(std::string_view bytes);

}  // namespace machine_providers
