// Opening the files of a machine tree the way the platform allows it safely. The build picks
// machine_files_posix.cpp or machine_files_windows.cpp; callers hold no platform test.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// At most `limit` + 1 bytes of a regular file (following symlinks, as sysfs is made of them),
// so that the caller can tell a file past its cap. No value when the file is missing,
// unreadable or anything but a regular file: a FIFO or a device at the path never blocks the
// read, it is simply not there.
std::optional<std::string> ReadRegularFile(const std::filesystem::path& file, std::size_t limit);

// Calls `visit` with the name of every entry of `folder` but "." and "..", in the order the file
// system gives them: UTF-8 bytes (on Linux the bytes of the name as they are). False, without a
// call, when the folder cannot be read. Cheap per entry, since a firmware may hold thousands.
bool VisitFolder(const std::filesystem::path& folder,
                 const std::function<void(std::string_view name)>& visit);

// Whether `folder` has an entry of exactly the name `name` (UTF-8), letter case included, as
// it would be listed, even where the file system ignores letter case in paths.
bool HasEntryNamed(const std::filesystem::path& folder, std::string_view name);

// Replaces the whole content of the existing regular file `file` by `bytes`. A symlink as the
// last component or anything but a regular file is refused (EPERM). On a kernel
// attribute (sysfs) the bytes go in one write, as the driver expects; on an ordinary file (a
// test tree, a copied machine) through a temporary file renamed over it, so that a kill never
// leaves it empty or half written. Returns 0 or the errno of the step that failed.
int ReplaceAttributeFile(const std::filesystem::path& file, std::string_view bytes);

}  // namespace platform
