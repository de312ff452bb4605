#include "support/open_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <system_error>

OpenWatch::OpenWatch(const std::filesystem::path& root)
    : root_(root), fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fd_.get() < 0) throw std::system_error(errno, std::generic_category(), "inotify_init1");
    const auto watch = [this](const std::filesystem::path& folder) {
        const int wd = inotify_add_watch(fd_.get(), folder.c_str(), IN_OPEN);
        if (wd < 0) throw std::system_error(errno, std::generic_category(), folder.string());
        const std::string relative = folder.lexically_relative(root_).generic_string();
        folders_[wd] = relative == "." ? "" : relative;
    };
    watch(root_);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root_)) {
        if (entry.is_directory() && !entry.is_symlink()) watch(entry.path());
    }
    // Walking the tree opened its folders.
    Opened();
}

std::vector<std::string> OpenWatch::Opened() {
    std::vector<std::string> opened;
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = read(fd_.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        for (std::size_t at = 0; at < static_cast<std::size_t>(got);) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            const std::string name(buffer + at + sizeof event,
                                   strnlen(buffer + at + sizeof event, event.len));
            at += sizeof event + event.len;
            const std::string& folder = folders_.at(event.wd);
            if (name.empty()) {
                // A folder's own watch reports its opening too; its parent's report names it,
                // and only the root has no parent watched.
                if (folder.empty()) opened.push_back(".");
                continue;
            }
            opened.push_back(folder.empty() ? name : folder + "/" + name);
        }
    }
    std::sort(opened.begin(), opened.end());
    return opened;
}
