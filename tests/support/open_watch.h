// Which files of a tree get opened, seen through inotify: on a machine, every needless open of
// a firmware-attributes file makes the driver ask the firmware, so tests count them.
#pragma once

#include "platform/posix/kernel.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

class OpenWatch {
  public:
    // Watches every folder below `root` (root included) as it is now.
    explicit OpenWatch(const std::filesystem::path& root);

    // The files and folders opened since the watch began or since the last call, by their path
    // relative to the root ("/"-separated), sorted; a path appears once per open.
    std::vector<std::string> Opened();

  private:
    std::filesystem::path root_;
    posix::UniqueFd fd_;
    std::map<int, std::string> folders_;  // watch descriptor -> folder relative to the root
};
