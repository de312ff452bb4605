// The checks that decide whether a privileged run may write its log into a folder and a file
// that already exist, apart from the calls that gather the facts, so that tests can give any
// facts: Wine does not enforce rights and makes every folder's owner the same. Windows only.
#pragma once

#include "platform/platform.h"

#include <string>

// Empty when `folder` may hold the log, else one console line saying why not: the folder could
// not be looked at (`opened` false), is a reparse point (a junction or link: it could lead
// anywhere), is no folder, or has an owner other than SYSTEM, Administrators or the run's own
// account `runAccount` (someone else made it, and can put links into it).
std::string LogFolderRefusal(const std::wstring& folder, DWORD attributes, PSID owner,
                             PSID runAccount, bool opened);

// Empty when the opened log file may be written, else the console line: a reparse point, a
// folder, or a file with more than one name (a hard link to a file that lives elsewhere).
std::string LogFileRefusal(const std::wstring& file, DWORD attributes, DWORD links);
