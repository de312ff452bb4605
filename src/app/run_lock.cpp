#include "app/run_lock.h"

RunLock::RunLock(DWORD waitMilliseconds) {
    mutex_ = CreateMutexW(/*lpMutexAttributes=*/nullptr, /*bInitialOwner=*/FALSE, kRunLockName);
    if (mutex_ == nullptr) {
        error_ = GetLastError();
        // Without the rights of an administrator the run cannot change the machine anyway;
        // the registry gate tells the caller so, exactly as without the lock.
        state_ = error_ == ERROR_ACCESS_DENIED ? State::kWithoutLock : State::kFailed;
        return;
    }
    switch (WaitForSingleObject(mutex_, waitMilliseconds)) {
        case WAIT_OBJECT_0:
        case WAIT_ABANDONED:
            // A run that died holding the lock left nothing half done that the next run cannot
            // read: every record write replaces a whole value.
            state_ = State::kHeld;
            break;
        case WAIT_TIMEOUT:
            state_ = State::kBusy;
            break;
        default:
            error_ = GetLastError();
            state_ = State::kFailed;
            break;
    }
}

RunLock::~RunLock() {
    if (mutex_ == nullptr) return;
    if (state_ == State::kHeld) ReleaseMutex(mutex_);
    CloseHandle(mutex_);
}
