// Whether the access list of a folder lets anyone but SYSTEM and the administrators write into
// it, decided on given entries, so that tests on both platforms can give any list: Windows
// gathers the entries from the folder (log_folder_windows.cpp), and Wine enforces none of them.
#pragma once

#include <cstdint>
#include <vector>

// One entry of a folder's access list (DACL).
struct FolderAccessEntry {
    bool allows = true;    // an allow entry; a deny entry only takes rights away
    bool trusted = false;  // the entry's SID is SYSTEM, Administrators, the run's own account or
                           // CREATOR OWNER (the creator of what is made inside: the run)
    std::uint32_t mask = 0;
};

// The rights that let their holder put something into a folder or change what is there: make a
// file or a folder, delete an entry, change the folder's rights or owner (and the generic rights
// that include them).
inline constexpr std::uint32_t kFolderWriteRights = 0x00000002u     // FILE_ADD_FILE
                                                    | 0x00000004u   // FILE_ADD_SUBDIRECTORY
                                                    | 0x00000040u   // FILE_DELETE_CHILD
                                                    | 0x00010000u   // DELETE
                                                    | 0x00040000u   // WRITE_DAC
                                                    | 0x00080000u   // WRITE_OWNER
                                                    | 0x10000000u   // GENERIC_ALL
                                                    | 0x40000000u;  // GENERIC_WRITE

// Every right there is: for a file that holds a secret, which no one else may even read.
inline constexpr std::uint32_t kAnyRights = 0xFFFFFFFFu;

// True when the entries give some SID other than the trusted ones one of `rights` (for a
// folder, kFolderWriteRights), or when there is no access list at all (which lets everyone do
// everything). Every entry counts, inherited or not, and whether it applies to the object itself
// or passes on to what is made inside: the log file is made inside its folder. A deny entry is
// not weighed against an allow entry: whether it comes first is the list's order, and a list
// that needs one to be safe is refused.
bool GivesOthers(bool hasAccessList, const std::vector<FolderAccessEntry>& entries,
                 std::uint32_t rights);
