// Every file that the Linux layer and the machine providers touch lies under one root: the
// environment variable CELLKEEPER_ROOT, or "/" when it is unset. Test and demo machines are
// directory trees of that shape; the real machine is "/".
#pragma once

#include <filesystem>
#include <string_view>

namespace platform {

// The root as the environment gives it now; read on every call so that a test can switch
// machines within one process.
std::filesystem::path MachineRoot();

// `relative` (for example "sys/class/dmi/id/sys_vendor") under the root.
std::filesystem::path PathUnderMachineRoot(std::string_view relative);

}  // namespace platform
