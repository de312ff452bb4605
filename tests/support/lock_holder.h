// Another process holding an flock() on a file or a folder, stopped (not dead) once it holds
// it, as a run that an administrator suspended would be. Killed when the holder goes.
#pragma once

#include <sys/types.h>

#include <filesystem>

class StoppedLockHolder {
  public:
    // A missing file is created; a folder is locked as it is.
    explicit StoppedLockHolder(const std::filesystem::path& path);
    ~StoppedLockHolder() { Kill(); }
    StoppedLockHolder(const StoppedLockHolder&) = delete;
    StoppedLockHolder& operator=(const StoppedLockHolder&) = delete;

    // Whether the child holds the lock and is stopped.
    bool held() const { return held_; }
    // Ends the child; the kernel drops its lock.
    void Kill();

  private:
    pid_t pid_ = -1;
    bool held_ = false;
};
