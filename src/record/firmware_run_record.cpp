#include "record/firmware_run_record.h"

#include <algorithm>

namespace {

constexpr std::size_t kRecordSizeOffset = 0;
constexpr std::size_t kVersionOffset = 4;
constexpr std::size_t kRunTimeOffset = 8;
constexpr std::size_t kStatusCodeOffset = 16;
constexpr std::size_t kReservedOffset = 20;
constexpr unsigned kBitsPerByte = 8;

template <typename Unsigned>
void Store(FirmwareRunRecord::Bytes& bytes, std::size_t offset, Unsigned value) {
    for (std::size_t i = 0; i < sizeof(Unsigned); ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (i * kBitsPerByte));
    }
}

template <typename Unsigned>
Unsigned Load(const FirmwareRunRecord::Bytes& bytes, std::size_t offset) {
    Unsigned value = 0;
    for (std::size_t i = 0; i < sizeof(Unsigned); ++i) {
        value = static_cast<Unsigned>(value | static_cast<Unsigned>(bytes[offset + i])
                                                  << (i * kBitsPerByte));
    }
    return value;
}

}  // namespace

FirmwareRunRecord::Bytes FirmwareRunRecord::Serialize() const {
    Bytes bytes{};
    Store(bytes, kRecordSizeOffset, recordSize);
    Store(bytes, kVersionOffset, version);
    Store(bytes, kRunTimeOffset, static_cast<std::uint64_t>(runTime));
    Store(bytes, kStatusCodeOffset, statusCode);
    Store(bytes, kReservedOffset, reserved);
    return bytes;
}

FirmwareRunRecord FirmwareRunRecord::Parse(const std::uint8_t* data, std::size_t size) {
    Bytes bytes{};
    std::copy_n(data, std::min(size, kSize), bytes.begin());
    FirmwareRunRecord record;
    record.recordSize = Load<std::uint32_t>(bytes, kRecordSizeOffset);
    record.version = Load<std::uint32_t>(bytes, kVersionOffset);
    record.runTime = static_cast<std::int64_t>(Load<std::uint64_t>(bytes, kRunTimeOffset));
    record.statusCode = Load<std::uint32_t>(bytes, kStatusCodeOffset);
    record.reserved = Load<std::uint32_t>(bytes, kReservedOffset);
    return record;
}
