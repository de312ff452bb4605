// The checks that decide whether a privileged run may write its log into a folder and a file
// that already exist, apart from the calls that gather the facts, so that tests can give any
// facts: Wine does not enforce rights and makes every folder's owner the same. Windows only.
#pragma once

#include "platform/platform.h"

#include <string>

// Empty when `folder` may hold the log, else one console line saying why not: the folder could
// not be looked at (`opened` false), is a reparse point (a junction or link: it could lead
// anywhere), is no folder, has an owner other than SYSTEM, Administrators or the run's own
// account `runAccount` (someone else made it, and can put links into it), or its rights let
// someone else write into it (`othersMayWrite`, from FolderLetsOthersWrite).
std::string LogFolderRefusal(const std::wstring& folder, DWORD attributes, PSID owner,
                             PSID runAccount, bool opened, bool othersMayWrite);

// Whether the access list of the security descriptor `descriptor` gives anyone but SYSTEM,
// Administrators, CREATOR OWNER and `runAccount` a right to write into the folder, inherited
// entries included: an existing folder made under ProgramData by an older version or an
// installer inherits "Users may create files". True for no access list at all, and for an entry
// of a shape it cannot read.
bool FolderLetsOthersWrite(PSECURITY_DESCRIPTOR descriptor, PSID runAccount);

// Empty when the opened log file may be written, else the console line: a reparse point, a
// folder, a file with more than one name (a hard link to a file that lives elsewhere), or a file
// whose owner is not trusted (`ownerTrusted` false, from IsTrustedOwner: a standard user could
// have made it first, and would read and change what the run appends).
std::string LogFileRefusal(const std::wstring& file, DWORD attributes, DWORD links,
                           bool ownerTrusted);
