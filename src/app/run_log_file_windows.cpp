// Windows: %ProgramData%\Vantrel\Cellkeeper Patch\cellkeeper-patch.log, lines ending in CR LF
// for every text viewer of the platform. ProgramData lets every user create a folder there and
// own it, so the tool's folders are made with rights of their own, and a folder that someone
// else made (or turned into a junction), or whose rights let others write into it, is never
// written into. The file is opened without following a reparse point, only inside the folder
// that was checked through the handle held meanwhile, only when SYSTEM, Administrators or the
// run's own account owns it, and renamed through its handle, never by path.
#include "app/log_folder.h"
#include "app/run_log.h"
#include "app/run_log_file.h"
#include "app/security_descriptor.h"
#include "base/text.h"
#include "platform/owners.h"

#include <aclapi.h>
#include <shlobj.h>

#include <cstring>
#include <exception>
#include <vector>

namespace {

// The text that SHGetKnownFolderPath allocates.
struct CoTaskTextTraits {
    using Type = PWSTR;
    static Type Empty() { return nullptr; }
    static void Close(Type text) { CoTaskMemFree(text); }
};
using KnownFolderPath = UniqueResource<CoTaskTextTraits>;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens what stands at `path` itself (a link or junction as the link), for its attributes.
HANDLE OpenForAttributes(const std::wstring& path, DWORD access) {
    return CreateFileW(path.c_str(), access, kShareAll, /*lpSecurityAttributes=*/nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                       /*hTemplateFile=*/nullptr);
}

// Empty when the opened folder may hold the log, else the console line that says why not.
std::string CheckFolderHandle(const std::wstring& folder, const UniqueFileHandle& opened) {
    const HANDLE handle = opened.get();
    BY_HANDLE_FILE_INFORMATION info{};
    if (!opened || GetFileInformationByHandle(handle, &info) == FALSE) {
        return LogFolderRefusal(folder, /*attributes=*/0, /*owner=*/nullptr,
                                /*runAccount=*/nullptr, /*opened=*/false,
                                /*othersMayWrite=*/true);
    }
    PSID owner = nullptr;
    SecurityDescriptor descriptor;
    if (GetSecurityInfo(handle, SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                        /*ppsidGroup=*/nullptr, /*ppDacl=*/nullptr, /*ppSacl=*/nullptr,
                        descriptor.put()) != ERROR_SUCCESS) {
        owner = nullptr;
    }
    const RunAccount account;
    return LogFolderRefusal(folder, info.dwFileAttributes, owner, account.get(), /*opened=*/true,
                            FolderLetsOthersWrite(descriptor.get(), account.get()));
}

// Opens the folder itself (a junction as the junction) for its facts. Without FILE_SHARE_DELETE:
// while the handle lives, nobody can rename the folder or swap another in at its name.
UniqueFileHandle OpenFolder(const std::wstring& folder) {
    return UniqueFileHandle(CreateFileW(
        folder.c_str(), FILE_READ_ATTRIBUTES | READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE,
        /*lpSecurityAttributes=*/nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, /*hTemplateFile=*/nullptr));
}

std::string CheckFolder(const std::wstring& folder) {
    return CheckFolderHandle(folder, OpenFolder(folder));
}

// The full path of what `handle` holds, as the system resolved it; empty when unknown.
std::wstring FinalPath(HANDLE handle) {
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length =
            GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(length);
    }
    return {};
}

bool SameText(const std::wstring& one, const std::wstring& other) {
    return CompareStringOrdinal(one.data(), static_cast<int>(one.size()), other.data(),
                                static_cast<int>(other.size()), /*bIgnoreCase=*/TRUE) == CSTR_EQUAL;
}

// Creates the folder with the log's rights, or takes an existing one that passes the check.
bool MakeFolder(const std::wstring& folder, std::string& refusal) {
    const SecurityDescriptor rights = LogFolderDescriptor();
    if (!rights) return false;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, rights.get(), /*bInheritHandle=*/FALSE};
    if (CreateDirectoryW(folder.c_str(), &attributes) == FALSE &&
        GetLastError() != ERROR_ALREADY_EXISTS) {
        return false;
    }
    refusal = CheckFolder(folder);
    return refusal.empty();
}

class WindowsLogFile final : public LogFile {
  public:
    WindowsLogFile(std::wstring path, UniqueFileHandle file)
        : path_(std::move(path)), file_(std::move(file)) {}

    std::int64_t Size() const noexcept override {
        LARGE_INTEGER size{};
        return GetFileSizeEx(file_.get(), &size) != FALSE ? size.QuadPart : 0;
    }

    void Append(std::string_view bytes) noexcept override {
        DWORD written = 0;
        WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                  /*lpOverlapped=*/nullptr);
    }

    MoveAside MoveAsideIfStillNamed() noexcept override {
        try {
            // The rename goes through a handle of what the name holds now, once that is known
            // to be this file: no path is looked up twice.
            UniqueFileHandle named(OpenForAttributes(path_, DELETE | FILE_READ_ATTRIBUTES));
            if (!named || !SameFile(file_.get(), named.get())) return MoveAside::kNotNamed;
            const std::wstring rotated = path_ + L".1";
            std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + rotated.size() * sizeof(wchar_t));
            auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
            rename->ReplaceIfExists = TRUE;
            rename->FileNameLength = static_cast<DWORD>(rotated.size() * sizeof(wchar_t));
            std::memcpy(rename->FileName, rotated.data(), rotated.size() * sizeof(wchar_t));
            return SetFileInformationByHandle(named.get(), FileRenameInfo, rename,
                                              static_cast<DWORD>(buffer.size())) != FALSE
                       ? MoveAside::kMoved
                       : MoveAside::kFailed;
        } catch (const std::exception&) {
            // Out of memory: the log grows on, nothing is lost.
            return MoveAside::kNotNamed;
        }
    }

    bool Empty() noexcept override {
        // The log's own handle may only append; a second handle of the same file (no name
        // looked up) may cut it.
        UniqueFileHandle writer(ReOpenFile(file_.get(), FILE_WRITE_DATA, kShareAll, /*dwFlags=*/0));
        if (!writer) return false;
        FILE_END_OF_FILE_INFO end{};
        return SetFileInformationByHandle(writer.get(), FileEndOfFileInfo, &end, sizeof end) !=
               FALSE;
    }

  private:
    static bool SameFile(HANDLE one, HANDLE other) {
        BY_HANDLE_FILE_INFORMATION first{};
        BY_HANDLE_FILE_INFORMATION second{};
        return GetFileInformationByHandle(one, &first) != FALSE &&
               GetFileInformationByHandle(other, &second) != FALSE &&
               first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
               first.nFileIndexHigh == second.nFileIndexHigh &&
               first.nFileIndexLow == second.nFileIndexLow;
    }

    std::wstring path_;
    UniqueFileHandle file_;
};

}  // namespace

std::unique_ptr<LogFile> LogFile::Open(const std::wstring& path, std::string& refusal) {
    if (path.empty()) return nullptr;
    // The folder is held and checked through its handle first; the file opened by its path
    // must then be found inside that very folder, so that a folder swapped in between is seen.
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos || slash + 1 == path.size()) return nullptr;
    const std::wstring folderPath = path.substr(0, slash);
    const UniqueFileHandle folder = OpenFolder(folderPath);
    if (!folder) return nullptr;
    if (std::string why = CheckFolderHandle(folderPath, folder); !why.empty()) {
        refusal = std::move(why);
        return nullptr;
    }
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write lands at the end of the file as it
    // is then, whoever else appends. FILE_SHARE_DELETE lets another run rotate it meanwhile.
    UniqueFileHandle file(CreateFileW(
        path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE,
        kShareAll, /*lpSecurityAttributes=*/nullptr, OPEN_ALWAYS,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, /*hTemplateFile=*/nullptr));
    if (!file) return nullptr;
    const std::wstring folderFinal = FinalPath(folder.get());
    if (folderFinal.empty() ||
        !SameText(FinalPath(file.get()), folderFinal + L"\\" + path.substr(slash + 1))) {
        refusal = "No run log: " + ToUtf8(path) + " is not in the folder that was checked";
        return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(file.get(), &info) == FALSE) return nullptr;
    PSID owner = nullptr;
    SecurityDescriptor descriptor;
    if (GetSecurityInfo(file.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                        /*ppsidGroup=*/nullptr, /*ppDacl=*/nullptr, /*ppSacl=*/nullptr,
                        descriptor.put()) != ERROR_SUCCESS) {
        owner = nullptr;
    }
    const RunAccount account;
    if (const std::string why = LogFileRefusal(path, info.dwFileAttributes, info.nNumberOfLinks,
                                               IsTrustedOwner(owner, account.get()));
        !why.empty()) {
        refusal = why;
        return nullptr;
    }
    return std::make_unique<WindowsLogFile>(path, std::move(file));
}

std::wstring RunLogFile(std::string& refusal) noexcept {
    try {
        // A run without the rights of an administrator creates nothing there: its folders
        // would be its own.
        if (!TokenIsAdministrator()) return {};
        KnownFolderPath programData;
        if (FAILED(SHGetKnownFolderPath(FOLDERID_ProgramData, /*dwFlags=*/0, /*hToken=*/nullptr,
                                        programData.put()))) {
            return {};
        }
        std::wstring folder = std::wstring(programData.get()) + L"\\Vantrel";
        if (!MakeFolder(folder, refusal)) return {};
        folder += L"\\Cellkeeper Patch";
        if (!MakeFolder(folder, refusal)) return {};
        return folder + L"\\cellkeeper-patch.log";
    } catch (const std::exception&) {
        return {};
    }
}

std::string_view RunLogLineEnd() noexcept { return "\r\n"; }
