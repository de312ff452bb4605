// Windows security descriptors and SIDs for what a privileged run creates: the run lock and
// the log folders. Only the Windows build has these (app/*_windows.cpp and their tests).
#pragma once

#include "platform/owners.h"
#include "platform/platform.h"

#include <cstdint>
#include <vector>

// Memory that LocalFree releases (what ConvertStringSecurityDescriptorToSecurityDescriptorW and
// GetSecurityInfo hand out).
struct LocalMemoryTraits {
    using Type = HLOCAL;
    static Type Empty() { return nullptr; }
    static void Close(Type memory) { LocalFree(memory); }
};

class SecurityDescriptor {
  public:
    SecurityDescriptor() = default;
    explicit SecurityDescriptor(PSECURITY_DESCRIPTOR owned) : memory_(owned) {}
    PSECURITY_DESCRIPTOR get() const { return memory_.get(); }
    PSECURITY_DESCRIPTOR* put() { return reinterpret_cast<PSECURITY_DESCRIPTOR*>(memory_.put()); }
    explicit operator bool() const { return static_cast<bool>(memory_); }

  private:
    UniqueResource<LocalMemoryTraits> memory_;
};

// A well-known SID in a buffer of its own.
class Sid {
  public:
    PSID get() { return valid_ ? bytes_ : nullptr; }
    explicit operator bool() const { return valid_; }
    bool Create(WELL_KNOWN_SID_TYPE type);

  private:
    alignas(SID) BYTE bytes_[SECURITY_MAX_SID_SIZE] = {};
    bool valid_ = false;
};

Sid WellKnownSid(WELL_KNOWN_SID_TYPE type);

// SYSTEM and Administrators full control, nobody else; protected from
// inheritance. For the run lock and its namespace.
SecurityDescriptor AdministratorsOnlyDescriptor();

// The log folders: SYSTEM and Administrators full control, Users read, inherited by what is
// created inside, protected from the rights of the folder above (ProgramData lets every user
// create and own what is there).
SecurityDescriptor LogFolderDescriptor();

// An owner that only SYSTEM or an administrator can have set: SYSTEM, Administrators, or the
// account of this run (`runAccount`, when given), which is one of them whenever the run may
// create the log at all (an administrator's folders may be owned by the account itself).
bool IsTrustedOwner(PSID owner, PSID runAccount = nullptr);

// The user SID of the process token, in a buffer of its own; empty when it cannot be read.
class RunAccount {
  public:
    RunAccount();
    PSID get() const;

  private:
    std::vector<BYTE> bytes_;
};

// Whether the access list of `descriptor` allows anyone but SYSTEM, Administrators, CREATOR
// OWNER and `runAccount` one of `rights`, inherited entries included. True for no access list
// at all, and for an entry of a shape it cannot read.
bool DescriptorGivesOthers(PSECURITY_DESCRIPTOR descriptor, PSID runAccount, std::uint32_t rights);

// The token of the process is SYSTEM's or holds the Administrators group enabled.
bool TokenIsAdministrator() noexcept;
