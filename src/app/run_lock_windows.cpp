// Windows: a mutex in a private namespace whose boundary requires the Administrators group. A
// standard user can neither create that namespace (the token must hold every SID of the
// boundary) nor open it (its security descriptor admits SYSTEM and Administrators only), so
// no one but an administrator can create, hold or squat the lock's name.
#include "app/run_lock.h"

#include "app/security_descriptor.h"

#include <memory>

namespace {

constexpr const wchar_t* kBoundaryName = L"cellkeeper-patch";
constexpr const wchar_t* kNamespaceAlias = L"cellkeeper-patch";
constexpr const wchar_t* kMutexName = L"cellkeeper-patch\\run-lock";
// Where the platform has no private namespaces (Wine): a name of its own, not the one that
// earlier versions left open to everyone, with the same explicit rights.
constexpr const wchar_t* kGlobalMutexName = L"Global\\cellkeeper-patch.admin-run-lock";

struct BoundaryTraits {
    using Type = HANDLE;
    static Type Empty() { return nullptr; }
    static void Close(Type boundary) { DeleteBoundaryDescriptor(boundary); }
};
using UniqueBoundary = UniqueResource<BoundaryTraits>;

struct PrivateNamespaceTraits {
    using Type = HANDLE;
    static Type Empty() { return nullptr; }
    static void Close(Type scope) { ClosePrivateNamespace(scope, /*Flags=*/0); }
};

}  // namespace

class RunLockNamespace {
  public:
    explicit RunLockNamespace(HANDLE handle) : handle_(handle) {}

  private:
    UniqueResource<PrivateNamespaceTraits> handle_;
};

void RunLockNamespaceCloser::operator()(RunLockNamespace* scope) const noexcept {
    std::default_delete<RunLockNamespace>{}(scope);
}

HANDLE OpenRunLockMutex(UniqueRunLockNamespace& scope) {
    SecurityDescriptor rights = AdministratorsOnlyDescriptor();
    if (!rights) return nullptr;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, rights.get(), /*bInheritHandle=*/FALSE};

    SetLastError(ERROR_SUCCESS);
    UniqueBoundary boundary(CreateBoundaryDescriptorW(kBoundaryName, /*Flags=*/0));
    if (!boundary) {
        // Windows always has it (out of memory is a failure); only an emulation without
        // private namespaces answers nothing at all.
        const DWORD error = GetLastError();
        if (error != ERROR_SUCCESS && error != ERROR_CALL_NOT_IMPLEMENTED) return nullptr;
        return CreateMutexW(&attributes, /*bInitialOwner=*/FALSE, kGlobalMutexName);
    }
    Sid administrators = WellKnownSid(WinBuiltinAdministratorsSid);
    HANDLE boundaryHandle = boundary.get();
    if (!administrators ||
        AddSIDToBoundaryDescriptor(&boundaryHandle, administrators.get()) == FALSE) {
        return nullptr;
    }
    boundary.release();
    boundary.reset(boundaryHandle);
    HANDLE privateNamespace = CreatePrivateNamespaceW(&attributes, boundary.get(), kNamespaceAlias);
    if (privateNamespace == nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
        privateNamespace = OpenPrivateNamespaceW(boundary.get(), kNamespaceAlias);
    }
    if (privateNamespace == nullptr) return nullptr;
    scope.reset(std::make_unique<RunLockNamespace>(privateNamespace).release());
    return CreateMutexW(&attributes, /*bInitialOwner=*/FALSE, kMutexName);
}

bool RunHasAdministratorRights() noexcept { return TokenIsAdministrator(); }
