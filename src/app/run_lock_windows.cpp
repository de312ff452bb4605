// Windows: a mutex in a private namespace whose boundary requires the Administrators group and
// high integrity. A standard user, or an administrator's process of lower integrity, can neither
// create that namespace (the token must hold every SID of the boundary) nor open it (its
// security descriptor admits SYSTEM and Administrators only), so no one but an elevated
// administrator can create, hold or squat the lock's name. Only under Wine, which has no
// private namespaces, is the lock a mutex of a plain name.
#include "app/run_lock.h"

#include "app/security_descriptor.h"

#include <memory>

namespace {

constexpr const wchar_t* kBoundaryName = L"cellkeeper-patch";
constexpr const wchar_t* kNamespaceAlias = L"cellkeeper-patch";
constexpr const wchar_t* kMutexName = L"cellkeeper-patch\\run-lock";
// Only under Wine, which has no private namespaces: a name of its own, not the one that earlier
// versions left open to everyone, with the same explicit rights. Never used on Windows, where
// anyone could create it first.
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

// Wine's ntdll exports its version; Windows' never does.
bool IsWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

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
    const DWORD boundaryError = boundary ? ERROR_SUCCESS : GetLastError();
    switch (ChooseRunLockPlace(static_cast<bool>(boundary), boundaryError, IsWine())) {
        case RunLockPlace::kPrivateNamespace:
            break;
        case RunLockPlace::kWineNamedMutex:
            return CreateMutexW(&attributes, /*bInitialOwner=*/FALSE, kGlobalMutexName);
        case RunLockPlace::kNone:
            SetLastError(boundaryError != ERROR_SUCCESS ? boundaryError
                                                        : ERROR_CALL_NOT_IMPLEMENTED);
            return nullptr;
    }
    // The namespace may be created or opened only by a token that holds the Administrators
    // group and runs at high integrity or above: a lower-integrity process of an administrator
    // (a browser, say) cannot squat it either.
    Sid administrators = WellKnownSid(WinBuiltinAdministratorsSid);
    Sid highIntegrity = WellKnownSid(WinHighLabelSid);
    HANDLE boundaryHandle = boundary.get();
    if (!administrators || !highIntegrity ||
        AddSIDToBoundaryDescriptor(&boundaryHandle, administrators.get()) == FALSE ||
        AddIntegrityLabelToBoundaryDescriptor(&boundaryHandle, highIntegrity.get()) == FALSE) {
        // The descriptor may have been moved by a call that grew it.
        boundary.release();
        boundary.reset(boundaryHandle);
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
