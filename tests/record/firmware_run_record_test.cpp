#include "record/firmware_run_record.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

TEST(FirmwareRunRecordTest, SerialisesLittleEndianFields) {
    FirmwareRunRecord record;
    record.recordSize = 24;
    record.version = 1;
    record.runTime = 0x0102030405060708;
    record.statusCode = 36;
    const FirmwareRunRecord::Bytes expected = {24, 0, 0, 0, 1, 0, 0, 0,  //
                                               8,  7, 6, 5, 4, 3, 2, 1,  //
                                               36, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(record.Serialize(), expected);
}

TEST(FirmwareRunRecordTest, SerialisesNegativeTimeAndFullStatus) {
    FirmwareRunRecord record;
    record.runTime = -1;
    record.statusCode = 0xFFFFFFFF;
    const FirmwareRunRecord::Bytes bytes = record.Serialize();
    for (std::size_t i = 8; i < 20; ++i) {
        EXPECT_EQ(bytes[i], 0xFF) << "byte " << i;
    }
    EXPECT_EQ(FirmwareRunRecord::Parse(bytes.data(), bytes.size()), record);
}

TEST(FirmwareRunRecordTest, ShortDataLeavesTheRestZero) {
    FirmwareRunRecord full;
    full.recordSize = 24;
    full.version = 1;
    full.runTime = 1615881909;
    full.statusCode = 9;
    full.reserved = 7;
    const FirmwareRunRecord::Bytes bytes = full.Serialize();

    const FirmwareRunRecord sixteen = FirmwareRunRecord::Parse(bytes.data(), 16);
    EXPECT_EQ(sixteen.recordSize, 24u);
    EXPECT_EQ(sixteen.version, 1u);
    EXPECT_EQ(sixteen.runTime, 1615881909);
    EXPECT_EQ(sixteen.statusCode, 0u);
    EXPECT_EQ(sixteen.reserved, 0u);

    const FirmwareRunRecord partialTime = FirmwareRunRecord::Parse(bytes.data(), 9);
    EXPECT_EQ(partialTime.runTime, 1615881909 & 0xFF);
}

TEST(FirmwareRunRecordTest, ParseReadsNoMoreThanARecord) {
    std::vector<std::uint8_t> data(40, 0xAB);
    const FirmwareRunRecord record = FirmwareRunRecord::Parse(data.data(), data.size());
    EXPECT_EQ(record.reserved, 0xABABABABu);
}

}  // namespace
