// Linux: the layer's machine-wide mutex, an flock() on run/cellkeeper-patch.lock under the
// machine root. run/ belongs to root, so only root can create or hold the lock.
#include "app/run_lock.h"

#include <unistd.h>

namespace {

// The one name of the lock; the layer keeps it as run/cellkeeper-patch.lock.
constexpr const wchar_t* kRunLockName = L"Global\\cellkeeper-patch";

}  // namespace

class RunLockNamespace {};

void RunLockNamespaceCloser::operator()(RunLockNamespace* scope) const noexcept {
    std::default_delete<RunLockNamespace>{}(scope);
}

HANDLE OpenRunLockMutex(UniqueRunLockNamespace& /*scope*/) {
    return CreateMutexW(/*lpMutexAttributes=*/nullptr, /*bInitialOwner=*/FALSE, kRunLockName);
}

bool RunHasAdministratorRights() noexcept { return geteuid() == 0; }
