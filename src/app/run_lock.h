// One run at a time on a machine. Two runs at once would both find no record, both write the
// setting and leave whichever status came last; a run therefore holds a machine-wide named
// mutex from before it opens its registry key until after the last write of its record.
#pragma once

#include "platform/platform.h"

// In the global namespace, so that runs of every session (a logon script, a scheduled task, a
// remote shell) exclude each other.
inline constexpr const wchar_t* kRunLockName = L"Global\\cellkeeper-patch";
// Long enough for another run to finish on a slow machine; a holder that never finishes (a
// stopped process) must not keep this one waiting for ever.
inline constexpr DWORD kRunLockWaitMilliseconds = 60'000;

class RunLock {
  public:
    enum class State {
        kHeld,         // this run holds the lock (an abandoned one counts as free)
        kWithoutLock,  // the caller may not create the lock: the registry gate decides as before
        kBusy,         // another run kept it for the whole wait
        kFailed,       // the lock could not be taken for another reason; see error()
    };

    explicit RunLock(DWORD waitMilliseconds);
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    State state() const { return state_; }
    DWORD error() const { return error_; }

  private:
    HANDLE mutex_ = nullptr;
    State state_ = State::kFailed;
    DWORD error_ = ERROR_SUCCESS;
};
