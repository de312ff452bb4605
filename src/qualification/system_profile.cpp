#include "qualification/system_profile.h"

#include "bios/named_texts.h"

#include <initializer_list>
#include <string>

namespace {

// The query for `properties` of the instances of `className`.
std::wstring Select(std::initializer_list<std::wstring> properties, const std::wstring& className) {
    std::wstring query = L"SELECT ";
    for (const std::wstring& property : properties) {
        if (&property != properties.begin()) query += L",";
        query += property;
    }
    return query + L" FROM " + className;
}

}  // namespace

// The readers' results are not kept: a failed read leaves its field empty, and the
// qualification draws its conclusions from the empty field.

ChassisInfo::ChassisInfo() : WmiConnection(kCimv2Namespace) {
    if (RunQuery(Select({kChassisTypesProperty}, kSystemEnclosureClass)) == S_OK) {
        current.GetUInt16Array(kChassisTypesProperty, chassisTypes);
    }
}

SystemProductInfo::SystemProductInfo() : WmiConnection(kCimv2Namespace) {
    if (RunQuery(Select({kOemStringArrayProperty}, kComputerSystemClass)) == S_OK) {
        current.GetStringArray(kOemStringArrayProperty, oemStrings);
    }
    // Vendor and model are still wanted when the OEM strings cannot be had.
    if (RunQuery(Select({kNameArgument, kVendorProperty}, kComputerSystemProductClass)) == S_OK) {
        current.GetString(kNameArgument, modelName);
        current.GetString(kVendorProperty, vendor);
    }
}

BatteryInfo::BatteryInfo() : WmiConnection(kCimv2Namespace) {
    if (RunQuery(Select({kNameArgument}, kBatteryClass)) != S_OK) return;
    do {
        ++batteryCount;
    } while (batteryCount < kMaxCounted && NextResult());
}

BiosInfo::BiosInfo() : WmiConnection(kCimv2Namespace) {
    if (RunQuery(Select({kNameArgument, kManufacturerProperty, kReleaseDateProperty},
                        kBiosClass)) == S_OK) {
        current.GetString(kNameArgument, biosName);
        current.GetString(kManufacturerProperty, manufacturer);
        current.GetString(kReleaseDateProperty, releaseDate);
    }
}
