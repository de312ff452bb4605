#include "app/log_folder_rights.h"

bool GivesOthers(bool hasAccessList, const std::vector<FolderAccessEntry>& entries,
                 std::uint32_t rights) {
    if (!hasAccessList) return true;
    for (const FolderAccessEntry& entry : entries) {
        if (entry.allows && !entry.trusted && (entry.mask & rights) != 0) return true;
    }
    return false;
}
