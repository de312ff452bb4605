// The run record kept in the firmware variable "cellkeeper_patch": 24 bytes, little-endian.
//   0  recordSize  uint32  24
//   4  version     uint32  1
//   8  runTime     int64   seconds since 1970 UTC
//  16  statusCode  uint32  the run's status code
//  20  reserved    uint32  0
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

struct FirmwareRunRecord {
    static constexpr std::size_t kSize = 24;
    static constexpr std::uint32_t kVersion = 1;
    using Bytes = std::array<std::uint8_t, kSize>;

    std::uint32_t recordSize = 0;
    std::uint32_t version = 0;
    std::int64_t runTime = 0;
    std::uint32_t statusCode = 0;
    std::uint32_t reserved = 0;

    Bytes Serialize() const;

    // Copies `size` bytes (at most kSize) over a record of zero bytes: a shorter variable
    // leaves the remaining fields zero.
    static FirmwareRunRecord Parse(const std::uint8_t* data, std::size_t size);

    bool operator==(const FirmwareRunRecord&) const = default;
};
