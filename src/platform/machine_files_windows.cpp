// The Windows side serves only the machine stand-in of the Wine tests: plain stream I/O.
#include "platform/machine_files.h"

#include <cerrno>
#include <exception>
#include <fstream>
#include <system_error>

namespace platform {

std::optional<std::string> ReadRegularFile(const std::filesystem::path& file, std::size_t limit) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) return std::nullopt;
    std::ifstream stream(file, std::ios::binary);
    if (!stream) return std::nullopt;
    constexpr std::size_t kChunk = 4096;
    std::string bytes;
    while (bytes.size() <= limit) {
        const std::size_t had = bytes.size();
        bytes.resize(had + kChunk);
        stream.read(bytes.data() + had, static_cast<std::streamsize>(kChunk));
        bytes.resize(had + static_cast<std::size_t>(stream.gcount()));
        if (stream.bad()) return std::nullopt;
        if (stream.eof()) break;
    }
    if (bytes.size() > limit + 1) bytes.resize(limit + 1);
    return bytes;
}

bool VisitFolder(const std::filesystem::path& folder,
                 const std::function<void(std::string_view name)>& visit) {
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error);
    if (error) return false;
    for (const std::filesystem::directory_iterator end; it != end; it.increment(error)) {
        if (error) break;
        std::u8string name;
        try {
            name = it->path().filename().u8string();
        } catch (const std::exception&) {
            // A Windows name that is not valid UTF-16 cannot be one of ours; leave it out.
            continue;
        }
        visit(std::string_view(reinterpret_cast<const char*>(name.data()), name.size()));
    }
    return true;
}

bool HasEntryNamed(const std::filesystem::path& folder, std::string_view name) {
    // Windows finds a path in any letter case; only the listing tells the name as it is.
    bool found = false;
    VisitFolder(folder, [&](std::string_view entry) { found = found || entry == name; });
    return found;
}

int ReplaceAttributeFile(const std::filesystem::path& file, std::string_view bytes) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::symlink_status(file, error);
    if (!std::filesystem::exists(status)) return ENOENT;
    if (!std::filesystem::is_regular_file(status)) return EPERM;
    std::ofstream stream;
    stream.rdbuf()->pubsetbuf(nullptr, 0);
    errno = 0;
    stream.open(file, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!stream.is_open()) return errno != 0 ? errno : EIO;
    errno = 0;
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const int writeError = stream ? 0 : (errno != 0 ? errno : EIO);
    errno = 0;
    stream.close();
    if (writeError != 0) return writeError;
    if (stream.fail()) return errno != 0 ? errno : EIO;
    return 0;
}

}  // namespace platform
