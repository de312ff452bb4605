#include "record/earlier_run.h"

#include "record/run_status_code.h"

#include <cstddef>

namespace {

// The status field ends here: a shorter variable never held a status.
constexpr std::size_t kBytesThroughStatus = 20;

bool FirmwareStatusSettles(std::uint32_t status) {
    return status < static_cast<std::uint32_t>(kFirstUnsettledStatus);
}

bool RegistryStatusSettles(std::uint32_t status) {
    return static_cast<std::int32_t>(status) < kFirstUnsettledStatus;
}

}  // namespace

bool IsUsableFirmwareRecord(const FirmwareRunRecord& record) {
    return record.recordSize != 0 && record.version == FirmwareRunRecord::kVersion;
}

EarlierRun JudgeEarlierRun(const FirmwareRunRecord& firmware,
                           const std::function<RegistryRunValues()>& readRegistry) {
    EarlierRun earlier;
    if (IsUsableFirmwareRecord(firmware)) {
        earlier.source = EarlierRun::Source::kFirmware;
        earlier.runTime = firmware.runTime;
        earlier.status = firmware.statusCode;
        earlier.settled = FirmwareStatusSettles(firmware.statusCode);
        return earlier;
    }
    const RegistryRunValues registry = readRegistry();
    if (!registry.dateRun) return earlier;
    earlier.source = EarlierRun::Source::kRegistry;
    earlier.runTime = *registry.dateRun;
    if (registry.status) {
        earlier.status = static_cast<std::int32_t>(*registry.status);
        earlier.settled = RegistryStatusSettles(*registry.status);
    }
    return earlier;
}

RegistryRestore RestoreFromFirmware(const FirmwareRecordBytes& firmware,
                                    const RegistryRunValues& registry) {
    const FirmwareRunRecord& record = firmware.record;
    if (firmware.size < kBytesThroughStatus || !IsUsableFirmwareRecord(record) ||
        !FirmwareStatusSettles(record.statusCode)) {
        return {};
    }
    // A settled "Status" of the registry's own is left as it is, whatever it says.
    if (registry.status && RegistryStatusSettles(*registry.status)) return {};
    RegistryRestore restore;
    restore.status = record.statusCode;
    if (!registry.dateRun) restore.dateRun = record.runTime;
    return restore;
}
