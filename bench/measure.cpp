// Runs one program once and reports its wall time and peak memory, for bench/run-benchmark.
//
//   measure OUTPUT-FILE PROGRAM [ARGUMENT...]
//
// The program's standard output goes to OUTPUT-FILE (so that the terminal's speed is not
// measured); its standard error stays ours. Prints one line:
//
//   wall_us=<microseconds> cpu_us=<microseconds> max_rss_kib=<KiB> exit=<code>
//
// where cpu_us is the program's user plus system time (what the wall time holds beyond it is
// waiting, for the disk above all), and exit is the program's exit code, or 128 plus the signal
// that ended it. Exits non-zero only when the program could not be started or measured.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitCannotMeasure = 3;
constexpr int kChildFailed = 127;
constexpr int kSignalExitBase = 128;
constexpr long long kMicrosecondsPerSecond = 1000000;

// Owns one file descriptor.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { Reset(); }
    int Get() const { return fd_; }
    void Reset() {
        if (fd_ >= 0) {
            close(fd_);
        }
        fd_ = -1;
    }

  private:
    int fd_;
};

// Tells the parent why the child could not become the program, then ends the child.
[[noreturn]] void FailChild(int reportFd) {
    const int error = errno;
    [[maybe_unused]] const ssize_t written = write(reportFd, &error, sizeof error);
    _exit(kChildFailed);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: measure OUTPUT-FILE PROGRAM [ARGUMENT...]\n");
        return kExitUsage;
    }
    // A pipe that closes itself at exec: the parent reads nothing from it when exec succeeded,
    // and the child's errno when it did not, whatever exit code the program itself may use.
    int reportEnds[2] = {-1, -1};
    if (pipe2(reportEnds, O_CLOEXEC) != 0) {
        std::perror("measure: pipe2");
        return kExitCannotMeasure;
    }
    FileDescriptor reportRead(reportEnds[0]);
    FileDescriptor reportWrite(reportEnds[1]);

    const auto start = std::chrono::steady_clock::now();
    // fork, not vfork or posix_spawn: the kernel charges a process with the peak of the memory
    // it held before exec too; a forked child holds only this launcher's few private pages,
    // whereas a vfork child would be charged the launcher's whole resident set.
    const pid_t child = fork();
    if (child < 0) {
        std::perror("measure: fork");
        return kExitCannotMeasure;
    }
    if (child == 0) {
        // The descriptor closes itself at exec; only its duplicate on standard output stays.
        const int output = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                                S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH);
        if (output < 0 || dup2(output, STDOUT_FILENO) < 0) {
            FailChild(reportWrite.Get());
        }
        execv(argv[2], argv + 2);
        FailChild(reportWrite.Get());
    }
    reportWrite.Reset();

    int status = 0;
    rusage usage{};
    pid_t waited = 0;
    do {
        waited = wait4(child, &status, 0, &usage);
    } while (waited < 0 && errno == EINTR);
    const auto end = std::chrono::steady_clock::now();
    if (waited != child) {
        std::perror("measure: wait4");
        return kExitCannotMeasure;
    }
    int childError = 0;
    if (read(reportRead.Get(), &childError, sizeof childError) > 0) {
        errno = childError;
        std::fprintf(stderr, "measure: cannot start %s: ", argv[2]);
        std::perror(nullptr);
        return kExitCannotMeasure;
    }

    int exitCode = 0;
    if (WIFEXITED(status)) {
        exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        exitCode = kSignalExitBase + WTERMSIG(status);
    }
    const auto wallUs = std::chrono::duration_cast<std::chrono::microseconds>(end - start);
    const long long cpuUs = (static_cast<long long>(usage.ru_utime.tv_sec) +
                             static_cast<long long>(usage.ru_stime.tv_sec)) *
                                kMicrosecondsPerSecond +
                            usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
    // ru_maxrss is in KiB on Linux.
    std::printf("wall_us=%lld cpu_us=%lld max_rss_kib=%ld exit=%d\n",
                static_cast<long long>(wallUs.count()), cpuUs, usage.ru_maxrss, exitCode);
    return 0;
}
