// Windows: %ProgramData%\Vantrel\Cellkeeper Patch\cellkeeper-patch.log, lines ending in CR LF
// for every text viewer of the platform. ProgramData lets every user create a folder there and
// own it, so the tool's folders are made with rights of their own, and a folder that someone
// else made (or turned into a junction) is never written into. The file is opened without
// following a reparse point and renamed through its handle, never by path.
#include "app/log_folder.h"
#include "app/run_log.h"
#include "app/run_log_file.h"
#include "app/security_descriptor.h"
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

// Empty when the folder may hold the log, else the console line that says why not.
std::string CheckFolder(const std::wstring& folder) {
    UniqueFileHandle handle(OpenForAttributes(folder, FILE_READ_ATTRIBUTES | READ_CONTROL));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!handle || GetFileInformationByHandle(handle.get(), &info) == FALSE) {
        return LogFolderRefusal(folder, /*attributes=*/0, /*owner=*/nullptr,
                                /*runAccount=*/nullptr, /*opened=*/false);
    }
    PSID owner = nullptr;
    SecurityDescriptor descriptor;
    if (GetSecurityInfo(handle.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                        /*ppsidGroup=*/nullptr, /*ppDacl=*/nullptr, /*ppSacl=*/nullptr,
                        descriptor.put()) != ERROR_SUCCESS) {
        owner = nullptr;
    }
    const RunAccount account;
    return LogFolderRefusal(folder, info.dwFileAttributes, owner, account.get(), /*opened=*/true);
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
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write lands at the end of the file as it
    // is then, whoever else appends. FILE_SHARE_DELETE lets another run rotate it meanwhile.
    UniqueFileHandle file(CreateFileW(
        path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll,
        /*lpSecurityAttributes=*/nullptr, OPEN_ALWAYS,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, /*hTemplateFile=*/nullptr));
    if (!file) return nullptr;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(file.get(), &info) == FALSE) return nullptr;
    if (const std::string why = LogFileRefusal(path, info.dwFileAttributes, info.nNumberOfLinks);
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
