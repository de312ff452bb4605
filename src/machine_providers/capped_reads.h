// Bounded reads of the small text files that sysfs-like trees hold under the machine root.
// Every read is capped so that a hostile or misplaced file can never make us allocate much.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace machine_providers {

// Sysfs attributes are at most a page; anything this big is not one of ours.
inline constexpr std::size_t kMaxMachineFileBytes = 64 * 1024;
// Sysfs hands out a text attribute in one page, line end included: a longer text is no
// attribute the kernel made, and the record could not hold it.
inline constexpr std::size_t kMaxMachineTextBytes = 4096;

// The bytes of a file, unchanged. No value when the file is missing, unreadable, not a regular
// file (after symlinks) or larger than kMaxMachineFileBytes.
std::optional<std::string> ReadMachineBytes(const std::filesystem::path& file);

// A text attribute: ReadMachineBytes without its trailing line ends ("\n", "\r\n"). No value
// for a text with a NUL byte in it or for a file over kMaxMachineTextBytes.
std::optional<std::string> ReadMachineText(const std::filesystem::path& file);

// Names of the entries of a folder as UTF-8 bytes (on Linux: the bytes of the name as they
// are), sorted bytewise so that every listing has a stable order. A missing or unreadable
// folder gives an empty list.
std::vector<std::string> ListFolder(const std::filesystem::path& folder);

// ListFolder restricted to entries that are folders (symlinks to folders count, as sysfs
// class folders are symlinks).
std::vector<std::string> ListSubfolders(const std::filesystem::path& folder);

bool IsFolder(const std::filesystem::path& path);

// The path of a name that ListFolder gave, or that came in as UTF-8 text.
std::filesystem::path PathFromUtf8(const std::string& name);

}  // namespace machine_providers
