#include "app/log_folder_rights.h"

bool LetsOthersWrite(bool hasAccessList, const std::vector<FolderAccessEntry>& entries) {
    if (!hasAccessList) return true;
    for (const FolderAccessEntry& entry : entries) {
        if (entry.allows && !entry.trusted && (entry.mask & kFolderWriteRights) != 0) return true;
    }
    return false;
}
