// Windows: %ProgramData%\Vantrel\Cellkeeper Patch\cellkeeper-patch.log, lines ending in CR LF
// for every text viewer of the platform.
#include "app/run_log.h"

#include <shlobj.h>

#include <exception>

namespace {

// Owner of the text that SHGetKnownFolderPath allocates.
class KnownFolderPath {
  public:
    KnownFolderPath() = default;
    ~KnownFolderPath() { CoTaskMemFree(path_); }
    KnownFolderPath(const KnownFolderPath&) = delete;
    KnownFolderPath& operator=(const KnownFolderPath&) = delete;

    PWSTR* put() { return &path_; }
    PCWSTR get() const { return path_; }

  private:
    PWSTR path_ = nullptr;
};

// True when the folder exists afterwards.
bool MakeFolder(const std::wstring& folder) {
    return CreateDirectoryW(folder.c_str(), /*lpSecurityAttributes=*/nullptr) != FALSE ||
           GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

std::wstring RunLogFile() noexcept {
    try {
        KnownFolderPath programData;
        if (FAILED(SHGetKnownFolderPath(FOLDERID_ProgramData, /*dwFlags=*/0, /*hToken=*/nullptr,
                                        programData.put()))) {
            return {};
        }
        std::wstring folder = std::wstring(programData.get()) + L"\\Vantrel";
        if (!MakeFolder(folder)) return {};
        folder += L"\\Cellkeeper Patch";
        if (!MakeFolder(folder)) return {};
        return folder + L"\\cellkeeper-patch.log";
    } catch (const std::exception&) {
        return {};
    }
}

std::string_view RunLogLineEnd() noexcept { return "\r\n"; }
