// Preloaded into the program by the kill campaign: counts the calls that change files and kills
// the process with SIGKILL just before or just after the one that CELLKEEPER_KILL_AT names
// (1 = the first), after it when CELLKEEPER_KILL_AFTER is 1. Without CELLKEEPER_KILL_AT it only
// passes the calls on. Console output is not counted: it goes through the C library's own
// write, which no preload sees.
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdlib>

namespace {

long killAt = -1;
bool killAfter = false;
long calls = 0;

__attribute__((constructor)) void ReadSettings() {
    if (const char* at = std::getenv("CELLKEEPER_KILL_AT")) killAt = std::strtol(at, nullptr, 10);
    const char* after = std::getenv("CELLKEEPER_KILL_AFTER");
    killAfter = after != nullptr && after[0] == '1';
}

void Die() { kill(getpid(), SIGKILL); }

// Call before the real call; returns whether to die after it.
bool Before() {
    if (++calls != killAt) return false;
    if (!killAfter) Die();
    return true;
}

template <typename Function>
Function Next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// Runs `call` as one counted point.
template <typename Call>
auto Counted(Call call) {
    const bool dieAfter = Before();
    auto result = call();
    if (dieAfter) Die();
    return result;
}

bool Changes(int flags) { return (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC)) != 0; }

int OpenWith(const char* symbol, const char* path, int flags, mode_t mode) {
    static auto* real = Next<int (*)(const char*, int, ...)>(symbol);
    if (!Changes(flags)) return real(path, flags, mode);
    return Counted([&] { return real(path, flags, mode); });
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
    mode_t mode = 0;
    if ((flags & (O_CREAT | O_TMPFILE)) != 0) {
        va_list arguments;
        va_start(arguments, flags);
        mode = static_cast<mode_t>(va_arg(arguments, int));
        va_end(arguments);
    }
    return OpenWith("open", path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    mode_t mode = 0;
    if ((flags & (O_CREAT | O_TMPFILE)) != 0) {
        va_list arguments;
        va_start(arguments, flags);
        mode = static_cast<mode_t>(va_arg(arguments, int));
        va_end(arguments);
    }
    return OpenWith("open64", path, flags, mode);
}

int mkostemp(char* path, int flags) {
    static auto* real = Next<int (*)(char*, int)>("mkostemp");
    return Counted([&] { return real(path, flags); });
}

ssize_t write(int fd, const void* data, size_t size) {
    static auto* real = Next<ssize_t (*)(int, const void*, size_t)>("write");
    if (fd <= STDERR_FILENO) return real(fd, data, size);
    return Counted([&] { return real(fd, data, size); });
}

int ftruncate(int fd, off_t length) {
    static auto* real = Next<int (*)(int, off_t)>("ftruncate");
    return Counted([&] { return real(fd, length); });
}

int fsync(int fd) {
    static auto* real = Next<int (*)(int)>("fsync");
    return Counted([&] { return real(fd); });
}

int fchmod(int fd, mode_t mode) {
    static auto* real = Next<int (*)(int, mode_t)>("fchmod");
    return Counted([&] { return real(fd, mode); });
}

int rename(const char* from, const char* to) {
    static auto* real = Next<int (*)(const char*, const char*)>("rename");
    return Counted([&] { return real(from, to); });
}

int unlink(const char* path) {
    static auto* real = Next<int (*)(const char*)>("unlink");
    return Counted([&] { return real(path); });
}

int mkdir(const char* path, mode_t mode) {
    static auto* real = Next<int (*)(const char*, mode_t)>("mkdir");
    return Counted([&] { return real(path, mode); });
}

int ioctl(int fd, unsigned long request, ...) {
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    static auto* real = Next<int (*)(int, unsigned long, ...)>("ioctl");
    if (request != FS_IOC_SETFLAGS) return real(fd, request, argument);
    return Counted([&] { return real(fd, request, argument); });
}

}  // extern "C"
