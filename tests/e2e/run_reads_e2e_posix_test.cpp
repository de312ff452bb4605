// What a whole run opens of the machine: the same files whatever the number of settings the
// firmware offers. On a real machine each firmware-attributes read makes the driver ask the
// firmware, and firmware offers hundreds of settings.
#include "support/machine_tree.h"
#include "support/open_watch.h"
#include "support/program_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

namespace {

constexpr const char* kAttributes = "sys/class/firmware-attributes/vantrel-wmi/attributes/";

// The machine files that a first run on the sample notebook opens, with `extra` more settings
// (half sorting before "Cellkeeper", half after), by their paths under the root. Replacement
// files of a copied tree carry a random suffix, which is left out.
std::vector<std::string> FirstRunOpens(int extra) {
    MachineTree machine;
    machine.CopyTree(SampleMachine("vantrel-notebook"), "");
    for (int i = 0; i < extra; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, i % 2 ? "Aux Option %03d/" : "Zoned Option %03d/", i);
        const std::string folder = std::string(kAttributes) + name;
        machine.WriteAttribute(folder + "type", "enumeration");
        machine.WriteAttribute(folder + "current_value", "Enabled");
        machine.WriteAttribute(folder + "possible_values", "Disabled;Enabled");
        machine.WriteAttribute(folder + "display_name", name);
        machine.WriteAttribute(folder + "default_value", "Enabled");
    }
    OpenWatch watch(machine.Path("sys"));
    const ProgramOutcome outcome = RunProgram("");
    EXPECT_EQ(outcome.exitCode, 0) << outcome.output;
    std::vector<std::string> opened = watch.Opened();
    const std::regex temporary(R"(\.tmp-[A-Za-z0-9]{6}$)");
    for (std::string& path : opened) path = "sys/" + std::regex_replace(path, temporary, ".tmp");
    return opened;
}

TEST(RunReadsE2eTest, ExtraSettingsChangeNothingTheRunOpens) {
    const std::vector<std::string> plain = FirstRunOpens(0);
    ASSERT_FALSE(plain.empty());
    EXPECT_EQ(FirstRunOpens(200), plain);
}

TEST(RunReadsE2eTest, OtherSettingsOfTheSampleAreNeverOpened) {
    const std::vector<std::string> opened = FirstRunOpens(0);
    EXPECT_NE(std::find(opened.begin(), opened.end(),
                        std::string(kAttributes) + "Cellkeeper/current_value"),
              opened.end());
    for (const std::string& path : opened) {
        if (!path.starts_with(kAttributes)) continue;
        const std::string rest = path.substr(std::string(kAttributes).size());
        // pending_reboot is the device's own file beside the settings: read after a change.
        if (rest == "pending_reboot") continue;
        const std::string setting = rest.substr(0, rest.find('/'));
        EXPECT_TRUE(setting == "Cellkeeper" || setting == "Enhanced BIOS Authentication Mode")
            << path;
    }
}

}  // namespace
