// The firmware-attributes readers: one setting folder and one password folder built from the
// input, read back the way the vendor BIOS provider reads them, and the text decoding of the
// bytes read.
#include "base/text.h"
#include "fuzz_machine.h"
#include "machine_providers/firmware_attributes.h"
#include "machine_providers/firmware_text.h"
#include "platform/machine_root.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

constexpr const char* kDevice = "sys/class/firmware-attributes/vantrel-wmi";
constexpr const char* kSettingFiles[] = {"type", "current_value", "possible_values", "display_name",
                                         "default_value"};
constexpr const char* kPasswordFiles[] = {"is_enabled", "encodings", "role"};
constexpr std::size_t kMaxFileSize = 512;

void CheckDecoding(const std::string& bytes) {
    const std::wstring text = machine_providers::DecodeMachineText(bytes);
    // Each character comes from at least one byte.
    if (text.size() > bytes.size()) std::abort();
    // Decoded text encodes to UTF-8 that decodes to the same text.
    if (machine_providers::DecodeMachineText(ToUtf8(text)) != text) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::FuzzMachine machine;
    machine.Clear();
    FuzzedDataProvider input(data, size);
    const std::string setting = std::string(kDevice) + "/attributes/Cellkeeper/";
    for (const char* file : kSettingFiles) {
        if (input.ConsumeBool()) {
            const std::string bytes = input.ConsumeRandomLengthString(kMaxFileSize);
            machine.WriteFile(setting + file, bytes);
            CheckDecoding(bytes);
        }
    }
    const std::string password = std::string(kDevice) + "/authentication/Admin/";
    for (const char* file : kPasswordFiles) {
        if (input.ConsumeBool()) {
            machine.WriteFile(password + file, input.ConsumeRandomLengthString(kMaxFileSize));
        }
    }

    const auto device = platform::PathUnderMachineRoot(kDevice);
    for (const std::string& name : machine_providers::SettingFolderNames(device)) {
        const std::optional<machine_providers::BiosSettingFacts> read =
            machine_providers::ReadBiosSetting(device, name);
        if (!read) continue;
        const machine_providers::BiosSettingFacts& facts = *read;
        const auto value = machine_providers::SettingValueText(facts);
        if (facts.IsEnumeration()) {
            const auto choices = facts.Choices();
            for (const auto& choice : choices) {
                if (choice.empty()) std::abort();
            }
        }
        if (value) CheckDecoding(*value);
    }
    for (const auto& facts : machine_providers::ReadBiosPasswords(device)) {
        if (facts.encodings) {
            for (const auto& encoding : machine_providers::SplitEncodings(*facts.encodings)) {
                if (encoding.empty()) std::abort();
            }
        }
    }
    return 0;
}
