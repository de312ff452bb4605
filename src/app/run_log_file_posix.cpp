// Linux: var/log/cellkeeper-patch.log under the machine root. /var/log belongs to the system,
// so a machine tree without it has no log.
#include "app/run_log.h"

#include "platform/machine_root.h"

#include <exception>

std::wstring RunLogFile() noexcept {
    try {
        const std::filesystem::path file =
            platform::PathUnderMachineRoot("var/log/cellkeeper-patch.log");
        return file.wstring();
    } catch (const std::exception&) {
        return {};
    }
}

std::string_view RunLogLineEnd() noexcept { return "\n"; }
