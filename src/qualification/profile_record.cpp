#include "qualification/profile_record.h"

#include "record/run_status_record.h"
#include "base/text.h"

#include <algorithm>
#include <array>

namespace {

// Portable, Notebook, Tablet, Convertible, Detachable. Laptop (9) and Sub Notebook (14) are
// deliberately not among them.
constexpr std::array<std::uint16_t, 5> kNotebookChassisTypes = {8, 10, 30, 31, 32};

constexpr std::size_t kReleaseDateLength = 8;  // yyyymmdd

void WriteString(RegistryKey& key, const wchar_t* name, const std::wstring& text) {
    // REG_SZ sizes count UTF-16 code units and the terminating zero, on both platforms.
    const auto size = static_cast<DWORD>((Utf16Length(text) + 1) * sizeof(char16_t));
    key.lastError = RegSetValueExW(key.handle, name, /*Reserved=*/0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(text.c_str()), size);
}

void WriteDword(RegistryKey& key, const wchar_t* name, DWORD value) {
    key.lastError = RegSetValueExW(key.handle, name, /*Reserved=*/0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

}  // namespace

bool HasNotebookChassis(const std::vector<std::uint16_t>& chassisTypes) {
    return std::any_of(chassisTypes.begin(), chassisTypes.end(), [](std::uint16_t type) {
        return std::find(kNotebookChassisTypes.begin(), kNotebookChassisTypes.end(), type) !=
               kNotebookChassisTypes.end();
    });
}

std::wstring BiosReleaseDate(const std::wstring& releaseDate) {
    return releaseDate.substr(0, kReleaseDateLength);
}

void RecordSystemProfile(const ChassisInfo& chassis, const SystemProductInfo& product,
                         const BatteryInfo& batteries, const BiosInfo& bios) {
    RegistryKey& key = RunStatusRecord::Instance().registryKey;
    // A failed write does not stop the others; only the last result stays in lastError.
    WriteString(key, L"SystemVendor", product.vendor);
    WriteString(key, L"SystemModel", product.modelName);
    WriteString(key, L"BIOSReleaseName", bios.biosName);
    WriteString(key, L"BIOSReleaseDate", BiosReleaseDate(bios.releaseDate));
    WriteDword(key, L"HasNoteBookChassis", HasNotebookChassis(chassis.chassisTypes) ? 1 : 0);
    WriteDword(key, L"NumBatteries", static_cast<DWORD>(batteries.batteryCount));
}
