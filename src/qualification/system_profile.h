// The machine's profile as the standard WMI namespace describes it, in four records. Each record
// opens its own connection when it is created, runs its queries at once and keeps what it read;
// a failed query or read leaves its fields empty.
#pragma once

#include "platform/platform.h"
#include "wmi/wmi_connection.h"

#include <cstdint>
#include <string>
#include <vector>

class ChassisInfo : public WmiConnection {
  public:
    ChassisInfo();

    // "ChassisTypes" of the first enclosure, in the order delivered.
    std::vector<std::uint16_t> chassisTypes;
};

// Both queries run on this one connection, one after the other.
class SystemProductInfo : public WmiConnection {
  public:
    SystemProductInfo();

    std::wstring modelName;
    std::wstring vendor;
    // "OEMStringArray", up to (not including) the first empty or blank element.
    std::vector<std::wstring> oemStrings;
};

class BatteryInfo : public WmiConnection {
  public:
    // Counting stops here: a machine with more batteries is recorded with this many.
    static constexpr std::int32_t kMaxCounted = 15;

    BatteryInfo();

    std::int32_t batteryCount = 0;
};

class BiosInfo : public WmiConnection {
  public:
    BiosInfo();

    std::wstring biosName;
    std::wstring manufacturer;
    // The whole CIM date-time text as delivered (yyyymmddHHMMSS.mmmmmmsUUU).
    std::wstring releaseDate;
};
