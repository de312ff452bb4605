// Linux: what the kernel shows every user, under the machine root: proc/sys/kernel/hostname
// and the DMI texts of sys/class/dmi/id (the same SMBIOS strings Windows copies into its
// registry).
#include "platform/machine_identity.h"

#include "base/text.h"
#include "platform/machine_root.h"
#include "platform/posix/file_io.h"

#include <fcntl.h>

#include <exception>
#include <optional>

namespace {

// One line of text; nothing for a file that is missing, no regular file, longer than a page
// (sysfs never gives more), or not UTF-8.
std::wstring ReadLine(std::string_view relative) {
    constexpr std::size_t kPage = 4096;
    posix::UniqueFd fd;
    if (posix::OpenRegularFile(platform::PathUnderMachineRoot(relative), O_NOFOLLOW, fd) != 0) {
        return {};
    }
    std::string bytes;
    if (posix::ReadUpTo(fd.get(), kPage, bytes) != 0 || bytes.size() > kPage) return {};
    while (!bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r')) bytes.pop_back();
    const std::optional<std::u32string> points = DecodeUtf8(bytes);
    return points ? CodePointsToWide(*points) : std::wstring();
}

}  // namespace

MachineIdentity ReadMachineIdentity() noexcept {
    try {
        return {ReadLine("proc/sys/kernel/hostname"), ReadLine("sys/class/dmi/id/product_name"),
                ReadLine("sys/class/dmi/id/bios_version")};
    } catch (const std::exception&) {
        return {};
    }
}
