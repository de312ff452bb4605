#include "app/log_folder.h"

#include "app/file_refusals.h"
#include "app/log_folder_rights.h"
#include "app/security_descriptor.h"
#include "base/text.h"

#include <vector>

namespace {

std::string Refuse(const std::wstring& path, const char* why) {
    return "No run log: " + ToUtf8(path) + " " + why;
}

}  // namespace

std::string LogFolderRefusal(const std::wstring& folder, DWORD attributes, PSID owner,
                             PSID runAccount, bool opened, bool othersMayWrite) {
    if (!opened) return Refuse(folder, "cannot be checked");
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return Refuse(folder, kRefusalIsALink);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return Refuse(folder, "is not a folder");
    if (!IsTrustedOwner(owner, runAccount)) {
        return Refuse(folder, "is not owned by SYSTEM, Administrators or this account");
    }
    if (othersMayWrite) {
        return Refuse(folder, "lets users other than SYSTEM and Administrators write into it");
    }
    return {};
}

bool FolderLetsOthersWrite(PSECURITY_DESCRIPTOR descriptor, PSID runAccount) {
    return DescriptorGivesOthers(descriptor, runAccount, kFolderWriteRights);
}

std::string LogFileRefusal(const std::wstring& file, DWORD attributes, DWORD links,
                           bool ownerTrusted) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return Refuse(file, kRefusalIsALink);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Refuse(file, kRefusalNotARegularFile);
    if (links > 1) return Refuse(file, "has more than one name (a hard link)");
    if (!ownerTrusted)
        return Refuse(file, "is not owned by SYSTEM, Administrators or this account");
    return {};
}
