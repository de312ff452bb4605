// What an earlier run left, and the rules a run and the read-only check both apply to it: which
// record speaks (the firmware variable when it is usable, else the registry's "DateRun" with
// "Status"), whether it settles the matter, and when the registry is to follow the firmware.
// Plain functions of what was read: they read and write nothing themselves.
#pragma once

#include "record/firmware_run_record.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

// The registry values of an earlier run; none where a value is missing or of another type.
struct RegistryRunValues {
    std::optional<std::int64_t> dateRun = std::nullopt;
    std::optional<std::uint32_t> status = std::nullopt;
};

// The firmware variable as read: `size` data bytes (0 when there is no usable variable) and the
// record they make.
struct FirmwareRecordBytes {
    std::size_t size = 0;
    FirmwareRunRecord record;
};

struct EarlierRun {
    enum class Source { kNone, kFirmware, kRegistry };
    Source source = Source::kNone;
    // The firmware record's run time, or "DateRun".
    std::int64_t runTime = 0;
    // As stored: the firmware's unsigned, the registry's signed; none when the registry has
    // "DateRun" without "Status".
    std::optional<std::int64_t> status;
    // A run without "/FORCE" stops at this record.
    bool settled = false;
};

// The firmware record speaks when its size field is not 0 and its version is ours.
bool IsUsableFirmwareRecord(const FirmwareRunRecord& record);

// Judges the earlier run from the firmware record, reading the registry only when the firmware
// record does not speak (its reader is not called otherwise). The firmware's status compares as
// unsigned, so a stored 4294967295 does not settle the matter; the registry's compares as
// signed, so there it does.
EarlierRun JudgeEarlierRun(const FirmwareRunRecord& firmware,
                           const std::function<RegistryRunValues()>& readRegistry);

// What the registry takes over from a settled firmware record that a run stops at, when the
// registry's own "Status" is missing or does not settle the matter: "Status", and "DateRun"
// where it is missing (an existing one keeps the time of the run that wrote it). Nothing from a
// variable too short to hold a status field, whose zero status was never written by a run.
struct RegistryRestore {
    std::optional<std::int64_t> dateRun = std::nullopt;
    std::optional<std::uint32_t> status = std::nullopt;
    bool operator==(const RegistryRestore&) const = default;
};
RegistryRestore RestoreFromFirmware(const FirmwareRecordBytes& firmware,
                                    const RegistryRunValues& registry);
