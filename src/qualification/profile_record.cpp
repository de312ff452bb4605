#include "qualification/profile_record.h"

#include "record/registry_value.h"
#include "record/run_status_record.h"

#include <algorithm>
#include <array>

namespace {

// Portable, Notebook, Tablet, Convertible, Detachable. Laptop (9) and Sub Notebook (14) are
// deliberately not among them.
constexpr std::array<std::uint16_t, 5> kNotebookChassisTypes = {8, 10, 30, 31, 32};

constexpr std::size_t kReleaseDateLength = 8;  // yyyymmdd

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
    key.lastError = SetString(key.handle.get(), L"SystemVendor", product.vendor);
    key.lastError = SetString(key.handle.get(), L"SystemModel", product.modelName);
    key.lastError = SetString(key.handle.get(), L"BIOSReleaseName", bios.biosName);
    key.lastError =
        SetString(key.handle.get(), L"BIOSReleaseDate", BiosReleaseDate(bios.releaseDate));
    key.lastError = SetDword(key.handle.get(), L"HasNoteBookChassis",
                             HasNotebookChassis(chassis.chassisTypes) ? 1 : 0);
    key.lastError =
        SetDword(key.handle.get(), L"NumBatteries", static_cast<DWORD>(batteries.batteryCount));
}
