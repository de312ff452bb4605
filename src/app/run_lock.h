// One run at a time on a machine. Two runs at once would both find no record, both write the
// setting and leave whichever status came last; a run therefore holds a machine-wide named
// mutex from before it opens its registry key until after the last write of its record.
#pragma once

#include "platform/owners.h"
#include "platform/platform.h"

#include <memory>
#include <string>

// Long enough for another run to finish on a slow machine; a holder that never finishes (a
// stopped process) must not keep this one waiting for ever.
inline constexpr DWORD kRunLockWaitMilliseconds = 60'000;

// What keeps the lock's name reachable while the lock is open (on Windows, the private
// namespace that holds the mutex). Each platform defines it in its own source file.
class RunLockNamespace;
struct RunLockNamespaceCloser {
    void operator()(RunLockNamespace* scope) const noexcept;
};
using UniqueRunLockNamespace = std::unique_ptr<RunLockNamespace, RunLockNamespaceCloser>;

// Opens the machine-wide run mutex, creating it when missing, in a place that no standard user
// can create or hold first. A handle (its namespace in `scope`), or null with GetLastError().
HANDLE OpenRunLockMutex(UniqueRunLockNamespace& scope);

// Where the run lock lives. Windows always has private namespaces, and a mutex of a plain
// name could be created first by anyone; only Wine, which has no private namespaces, gets the
// plain name (Wine enforces no rights at all).
enum class RunLockPlace {
    kPrivateNamespace,
    kWineNamedMutex,
    kNone,  // a failure of the run lock
};
// `boundaryMade`: CreateBoundaryDescriptorW gave a descriptor; `error`: its last error when not;
// `wine`: ntdll.dll exports wine_get_version.
RunLockPlace ChooseRunLockPlace(bool boundaryMade, DWORD error, bool wine);

// True when the run has the rights of an administrator: such a run must never go on without
// the lock, whatever stands in its way.
bool RunHasAdministratorRights() noexcept;

class RunLock {
  public:
    enum class State {
        kHeld,         // this run holds the lock (an abandoned one counts as free)
        kWithoutLock,  // a run without administrator rights may not create the lock: the
                       // registry gate decides as before
        kBusy,         // another run kept it for the whole wait
        kFailed,       // the lock could not be taken for another reason; see error()
    };

    explicit RunLock(DWORD waitMilliseconds);
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    State state() const { return state_; }
    DWORD error() const { return error_; }
    // Why a failed lock failed, for the fatal line: ", <reason>", or empty when error() says
    // all there is.
    std::wstring FailureReason() const;

  private:
    UniqueRunLockNamespace namespace_;  // declared first: outlives the mutex in it
    UniqueHandle mutex_;
    State state_ = State::kFailed;
    DWORD error_ = ERROR_SUCCESS;
};
