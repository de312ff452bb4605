// Linux: the Debian convention that unattended-upgrades, needrestart, the login message and
// Ansible read: the file run/reboot-required, and the package's name in
// run/reboot-required.pkgs, under the machine root. Both are opened inside the opened run/
// folder, never through a link, without blocking, and only as regular files of one name.
#include "app/restart_notice.h"

#include "app/unique_fd_posix.h"
#include "platform/machine_root.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <string>
#include <string_view>

namespace {

// As Debian's own tools make them: anyone may read them, the login message among them.
constexpr mode_t kNoticeMode = S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH;
constexpr std::string_view kPackage = "cellkeeper-patch";

// Opens `name` inside `folder` for reading and writing, creating it when missing; nothing when
// anything but a regular file of one name stands there.
UniqueFd OpenNotice(int folder, const char* name) {
    UniqueFd fd(openat(folder, name,
                       O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY,
                       kNoticeMode));
    struct stat status {};
    if (!fd || fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_nlink != 1) {
        return UniqueFd();
    }
    return fd;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// The whole of a small file; false when it cannot be read.
bool ReadAll(int fd, std::string& text) {
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

// Appends the package's line unless it is listed already.
bool ListPackage(int folder) {
    const UniqueFd fd = OpenNotice(folder, "reboot-required.pkgs");
    std::string listed;
    if (!fd || !ReadAll(fd.get(), listed)) return false;
    std::string_view rest = listed;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        if (rest.substr(0, end) == kPackage) return true;
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    std::string line = listed.empty() || listed.back() == '\n' ? "" : "\n";
    line += kPackage;
    line += '\n';
    return WriteAll(fd.get(), line);
}

}  // namespace

bool ChangeWaitsForRestart(std::optional<bool> pendingReboot) noexcept {
    return pendingReboot == true;
}

int RestartExitCode() noexcept { return 0; }

std::string AnnounceRestart() noexcept {
    try {
        const UniqueFd folder(open(platform::PathUnderMachineRoot("run").c_str(),
                                   O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!folder) return "; no run/reboot-required: no run folder";
        const UniqueFd notice = OpenNotice(folder.get(), "reboot-required");
        std::string text;
        bool told = notice && ReadAll(notice.get(), text);
        if (told && text.empty())
            told = WriteAll(notice.get(), "*** System restart required ***\n");
        if (!told || !ListPackage(folder.get())) {
            return "; run/reboot-required could not be written safely";
        }
        return "; told in run/reboot-required";
    } catch (const std::exception&) {
        return {};
    }
}
