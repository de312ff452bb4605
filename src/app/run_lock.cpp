#include "app/run_lock.h"

RunLockPlace ChooseRunLockPlace(bool boundaryMade, DWORD error, bool wine) {
    if (boundaryMade) return RunLockPlace::kPrivateNamespace;
    // Wine answers nothing at all, or "not implemented"; out of memory is a failure there too.
    if (wine && (error == ERROR_SUCCESS || error == ERROR_CALL_NOT_IMPLEMENTED)) {
        return RunLockPlace::kWineNamedMutex;
    }
    return RunLockPlace::kNone;
}

RunLock::RunLock(DWORD waitMilliseconds) {
    mutex_.reset(OpenRunLockMutex(namespace_));
    if (!mutex_) {
        error_ = GetLastError();
        // Without the rights of an administrator the run cannot change the machine anyway; the
        // registry gate tells the caller so, exactly as without the lock. With them, a lock
        // that cannot be taken is never a reason to run unlocked.
        state_ = error_ == ERROR_ACCESS_DENIED && !RunHasAdministratorRights() ? State::kWithoutLock
                                                                               : State::kFailed;
        return;
    }
    switch (WaitForSingleObject(mutex_.get(), waitMilliseconds)) {
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
    if (mutex_ && state_ == State::kHeld) ReleaseMutex(mutex_.get());
}

std::wstring RunLock::FailureReason() const {
    switch (error_) {
        case ERROR_ACCESS_DENIED:
            return L", access denied to a run with administrator rights";
        case ERROR_INVALID_HANDLE:
            return L", another kind of object holds its name";
        case ERROR_WRITE_PROTECT:
            return L", its folder is read-only";
        default:
            return {};
    }
}
