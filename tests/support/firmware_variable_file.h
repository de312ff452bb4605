// The firmware variable that a run of this process leaves, as efivarfs holds it: the Linux tests'
// one picture of the record's bytes.
#pragma once

#include "record/firmware_run_record.h"
#include "record/run_date.h"

#include <cstdint>
#include <string>

// The record that this process's run writes with `statusCode`.
inline FirmwareRunRecord ThisRunsRecord(std::uint32_t statusCode) {
    FirmwareRunRecord record;
    record.recordSize = 24;
    record.version = 1;
    record.runTime = launchTime;
    record.statusCode = statusCode;
    return record;
}

// efivarfs: the attribute word (non-volatile, boot-service and runtime access) before the data.
inline std::string VariableFile(std::uint32_t statusCode) {
    const FirmwareRunRecord::Bytes bytes = ThisRunsRecord(statusCode).Serialize();
    return std::string("\x07\x00\x00\x00", 4) + std::string(bytes.begin(), bytes.end());
}
