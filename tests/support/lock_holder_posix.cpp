#include "support/lock_holder.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

StoppedLockHolder::StoppedLockHolder(const std::filesystem::path& path) {
    int ready[2] = {-1, -1};
    if (pipe(ready) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        std::error_code error;
        const int fd = std::filesystem::is_directory(path, error)
                           ? open(path.c_str(), O_RDONLY | O_DIRECTORY)
                           : open(path.c_str(), O_RDWR | O_CREAT, 0600);
        const char held = fd >= 0 && flock(fd, LOCK_EX) == 0 ? 1 : 0;
        (void)!write(ready[1], &held, 1);
        for (;;) pause();
    }
    close(ready[1]);
    char held = 0;
    held_ = pid_ > 0 && read(ready[0], &held, 1) == 1 && held == 1;
    close(ready[0]);
    if (held_) held_ = kill(pid_, SIGSTOP) == 0;
}

void StoppedLockHolder::Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}
