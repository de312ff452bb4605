// Reads of the files of Vantrel's firmware-attributes device. Every read of such a file makes
// the driver ask the firmware, so a run reads each file at most once for each state of the
// device: a setting's descriptions (type, possible_values, display_name, default_value) and a
// password's role and encodings are fixed while the machine is up; what a write can change
// (current values, is_enabled, pending_reboot) is read again after the next write.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace machine_providers {

// ReadMachineText of a device file, answered from what this process already read of it in the
// device's current state. A file whose identity on disk changed (another inode, time or size:
// someone else replaced or rewrote it) is read again.
std::optional<std::string> ReadDeviceFile(const std::filesystem::path& file);

// Called after every write to the device: the write starts a new state.
void ForgetDeviceState();

// The number of the device's current state, changed by ForgetDeviceState: a value read later
// for an instance made earlier is the instance's only while the number is the same.
unsigned DeviceState();

}  // namespace machine_providers
