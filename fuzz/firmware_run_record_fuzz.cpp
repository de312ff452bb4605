// The firmware run record: the variable's bytes as efivarfs holds them, read and judged by the
// run status record (which prints the stored date), and the record's own parse and layout.
#include "app/privilege.h"
#include "base/console.h"
#include "fuzz_machine.h"
#include "record/firmware_run_record.h"
#include "record/run_date.h"
#include "record/run_status_record.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

constexpr const char* kVariableFile =
    "sys/firmware/efi/efivars/cellkeeper_patch-994e9a98-28eb-4244-b5c6-1d92be5321bd";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::FuzzMachine machine;
    static std::string output;
    static const bool once = [] {
        SetConsoleSink(&output);
        EnableSystemEnvironmentPrivilege();
        return true;
    }();
    static_cast<void>(once);

    // The record's own layout: what it parses it writes back, zero-padded.
    const std::size_t recordBytes = std::min(size, FirmwareRunRecord::kSize);
    const FirmwareRunRecord parsed = FirmwareRunRecord::Parse(data, recordBytes);
    const FirmwareRunRecord::Bytes bytes = parsed.Serialize();
    if (!std::equal(data, data + recordBytes, bytes.begin())) std::abort();
    if (FirmwareRunRecord::Parse(bytes.data(), bytes.size()) != parsed) std::abort();
    if (FormatRunDate(parsed.runTime).empty()) std::abort();

    // The whole variable file, attribute word included, through the layer and the record.
    machine.Clear();
    machine.WriteFile(kVariableFile, std::string_view(reinterpret_cast<const char*>(data), size));
    output.clear();
    RunStatusRecord record;
    record.CheckPreviousRun();
    return 0;
}
