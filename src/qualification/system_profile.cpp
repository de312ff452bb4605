#include "qualification/system_profile.h"

namespace {

constexpr wchar_t kChassisQuery[] = L"SELECT ChassisTypes FROM Win32_SystemEnclosure";
constexpr wchar_t kOemStringsQuery[] = L"SELECT OEMStringArray FROM Win32_ComputerSystem";
constexpr wchar_t kProductQuery[] = L"SELECT Name,Vendor FROM Win32_ComputerSystemProduct";
constexpr wchar_t kBatteryQuery[] = L"SELECT Name FROM Win32_Battery";
constexpr wchar_t kBiosQuery[] = L"SELECT Name,Manufacturer,ReleaseDate FROM Win32_BIOS";

}  // namespace

// The readers' results are not kept: a failed read leaves its field empty, and the
// qualification draws its conclusions from the empty field.

ChassisInfo::ChassisInfo() : WmiConnection(kCimv2Namespace) {
    if (RunQuery(kChassisQuery) == S_OK) {
        current.GetUInt16Array(L"ChassisTypes", chassisTypes);
    }
}

SystemProductInfo::SystemProductInfo() : WmiConnection(kCimv2Namespace) {
    if (RunQuery(kOemStringsQuery) == S_OK) {
        current.GetStringArray(L"OEMStringArray", oemStrings);
    }
    // Vendor and model are still wanted when the OEM strings cannot be had.
    if (RunQuery(kProductQuery) == S_OK) {
        current.GetString(L"Name", modelName);
        current.GetString(L"Vendor", vendor);
    }
}

BatteryInfo::BatteryInfo() : WmiConnection(kCimv2Namespace) {
    if (RunQuery(kBatteryQuery) != S_OK) return;
    do {
        ++batteryCount;
    } while (batteryCount < kMaxCounted && NextResult());
}

BiosInfo::BiosInfo() : WmiConnection(kCimv2Namespace) {
    if (RunQuery(kBiosQuery) == S_OK) {
        current.GetString(L"Name", biosName);
        current.GetString(L"Manufacturer", manufacturer);
        current.GetString(L"ReleaseDate", releaseDate);
    }
}
