// Windows: the computer's DNS host name, and the SMBIOS texts that Windows copies at each start
// into HKLM\HARDWARE\DESCRIPTION\System\BIOS (a volatile key every user may read).
#include "platform/machine_identity.h"

#include "platform/platform.h"

#include <exception>
#include <vector>

namespace {

std::wstring BiosText(const wchar_t* name) {
    // SMBIOS strings are short; a longer value is cut to what fits rather than read twice.
    std::vector<wchar_t> text(256);
    DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\BIOS", name,
                     RRF_RT_REG_SZ, /*pdwType=*/nullptr, text.data(), &bytes) != ERROR_SUCCESS) {
        return {};
    }
    return std::wstring(text.data());
}

std::wstring HostName() {
    std::vector<wchar_t> text(256);
    DWORD size = static_cast<DWORD>(text.size());
    if (GetComputerNameExW(ComputerNameDnsHostname, text.data(), &size) == FALSE) return {};
    return std::wstring(text.data(), size);
}

}  // namespace

MachineIdentity ReadMachineIdentity() noexcept {
    try {
        return {HostName(), BiosText(L"SystemProductName"), BiosText(L"BIOSVersion")};
    } catch (const std::exception&) {
        return {};
    }
}
