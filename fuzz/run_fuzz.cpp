// A whole run in this process over a machine built from the input: a sample machine chosen by
// the first byte, then files of the places the tool reads replaced or removed, then the run
// with or without /FORCE. The run must end with one of its exit codes, and a store it leaves
// behind must parse.
#include "app/run.h"
#include "base/console.h"
#include "fuzz_machine.h"
#include "machine_providers/provider_locator.h"
#include "platform/platform.h"
#include "platform/posix/registry.h"
#include "platform/posix/registry_format.h"
#include "record/run_status_record.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr const char* kKeyFile =
    "var/lib/cellkeeper-patch/registry/HKEY_LOCAL_MACHINE/SOFTWARE/Vantrel/"
    "Vantrel Cellkeeper Patch.reg";
constexpr const char* kSettings = "sys/class/firmware-attributes/vantrel-wmi/attributes/";
constexpr const char* kPassword =
    "sys/class/firmware-attributes/vantrel-wmi/authentication/"
    "Setup Password/";
// Every place of the machine that a run reads.
const std::string kPlaces[] = {
    "sys/class/dmi/id/sys_vendor",
    "sys/class/dmi/id/product_name",
    "sys/class/dmi/id/bios_vendor",
    "sys/class/dmi/id/bios_version",
    "sys/class/dmi/id/bios_date",
    "sys/class/dmi/id/chassis_type",
    "sys/firmware/dmi/entries/11-0/raw",
    "sys/class/power_supply/BAT0/type",
    "sys/class/power_supply/BAT0/present",
    "sys/class/power_supply/BAT0/scope",
    std::string(kSettings) + "Cellkeeper/current_value",
    std::string(kSettings) + "Cellkeeper/possible_values",
    std::string(kSettings) + "Cellkeeper/type",
    std::string(kSettings) + "Enhanced BIOS Authentication Mode/current_value",
    std::string(kPassword) + "is_enabled",
    std::string(kPassword) + "role",
    std::string(kPassword) + "encodings",
    "sys/firmware/efi/efivars/cellkeeper_patch-994e9a98-28eb-4244-b5c6-1d92be5321bd",
    kKeyFile,
};
constexpr std::size_t kMaxFileSize = 1024;
constexpr int kMaxChanges = 16;

std::vector<fs::path> SampleMachines() {
    std::vector<fs::path> machines;
    for (const auto& entry : fs::directory_iterator(fuzz::SampleMachinesFolder())) {
        if (entry.is_directory()) machines.push_back(entry.path());
    }
    std::sort(machines.begin(), machines.end());
    return machines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::FuzzMachine machine;
    static const std::vector<fs::path> samples = SampleMachines();
    static std::string output;
    static const bool once = [] {
        SetConsoleSink(&output);
        // The machine's providers answer WMI, as the program's entry point installs them.
        posix::SetBuiltInWbemLocator(machine_providers::CreateMachineLocator);
        return true;
    }();
    static_cast<void>(once);

    FuzzedDataProvider input(data, size);
    machine.Clear();
    machine.CopyTree(samples[input.ConsumeIntegralInRange<std::size_t>(0, samples.size() - 1)]);
    const bool force = input.ConsumeBool();
    for (int i = 0; i < kMaxChanges && input.remaining_bytes() > 0; ++i) {
        const std::string& place =
            kPlaces[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kPlaces) - 1)];
        if (input.ConsumeBool()) {
            machine.RemoveFile(place);
        } else {
            machine.WriteFile(place, input.ConsumeRandomLengthString(kMaxFileSize));
        }
    }

    output.clear();
    RunStatusRecord::RenewInstance();
    std::vector<const wchar_t*> arguments{L"cellkeeper-patch"};
    if (force) arguments.push_back(L"/FORCE");
    const int exitCode = RunCellkeeperPatch(static_cast<int>(arguments.size()), arguments.data());
    if (exitCode != kExitCompleted && exitCode != kExitFatalError && exitCode != 34 &&
        exitCode != 35) {
        std::abort();
    }
    // A completed run leaves a store that the next run can read.
    if (exitCode == kExitCompleted) {
        // The store writes its key file at a durable point; the end of the process is one.
        if (posix::FlushRegistry() != ERROR_SUCCESS) std::abort();
        std::ifstream file(machine.Root() / kKeyFile, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        if (!posix::ParseKeyFile(text.str())) std::abort();
    }
    return 0;
}
