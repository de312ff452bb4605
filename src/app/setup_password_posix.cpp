// Linux: the password file is trusted only when root alone can have written or read it: a
// regular file of one name, owned by root, with no rights for group or others (0600 or
// stricter), opened without following a link and without blocking. systemd hands a credential
// over as such a file in $CREDENTIALS_DIRECTORY.
#include "app/file_refusals.h"
#include "app/setup_password.h"
#include "app/unique_fd_posix.h"

#include "base/text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace {

// More than a line of 128 characters can take, with any encoding and line end.
constexpr std::size_t kMaxFileBytes = 1024;

std::string Reason(int error) { return std::string("cannot be read: ") + std::strerror(error); }

}  // namespace

void ReadPasswordFileBytes(const std::wstring& path, std::string& bytes, std::string& refusal) {
    const std::optional<std::string> name = WideToUtf8(path);
    if (!name) {
        refusal = "cannot be read: the name is not valid text";
        return;
    }
    struct stat status {};
    if (lstat(name->c_str(), &status) != 0) {
        refusal = errno == ENOENT ? std::string(kRefusalDoesNotExist) : Reason(errno);
        return;
    }
    if (S_ISLNK(status.st_mode)) {
        refusal = kRefusalIsALink;
        return;
    }
    const UniqueFd fd(
        open(name->c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd) {
        refusal = errno == ELOOP ? std::string(kRefusalIsALink) : Reason(errno);
        return;
    }
    // Looked at again through the descriptor: whatever stood at the name a moment ago.
    if (fstat(fd.get(), &status) != 0) {
        refusal = Reason(errno);
    } else if (!S_ISREG(status.st_mode)) {
        refusal = kRefusalNotARegularFile;
    } else if (status.st_nlink != 1) {
        refusal = "has more than one name (a hard link)";
    } else if (status.st_uid != 0) {
        refusal = "is not owned by root";
    } else if ((status.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        refusal = "may be read or written by others than root (its mode must be 0600 or stricter)";
    } else if (status.st_size > static_cast<off_t>(kMaxFileBytes)) {
        refusal = kRefusalTooLargeForAPassword;
    }
    if (!refusal.empty()) return;
    bytes.reserve(kMaxFileBytes + 1);
    char buffer[kMaxFileBytes + 1];
    for (;;) {
        const ssize_t got = read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            refusal = Reason(errno);
            break;
        }
        if (got == 0) break;
        if (bytes.size() + static_cast<std::size_t>(got) > kMaxFileBytes) {
            refusal = kRefusalTooLargeForAPassword;
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    WipeBytes(buffer, sizeof buffer);
}

std::wstring PasswordCredentialFile() {
    // Set by systemd for a unit with credentials; the file is there only when the administrator
    // provisioned this one.
    const char* folder = std::getenv("CREDENTIALS_DIRECTORY");
    if (folder == nullptr || *folder == '\0') return {};
    const std::string file = std::string(folder) + "/cellkeeper-setup-password";
    struct stat status {};
    if (lstat(file.c_str(), &status) != 0) return {};
    const std::optional<std::u32string> points = DecodeUtf8(file);
    return points ? CodePointsToWide(*points) : std::wstring();
}
