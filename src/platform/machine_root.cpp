#include "platform/machine_root.h"

#include <cstdlib>

namespace platform {

std::filesystem::path MachineRoot() {
    const char* root = std::getenv("CELLKEEPER_ROOT");
    if (root == nullptr || *root == '\0') return std::filesystem::path("/");
    return std::filesystem::path(root);
}

std::filesystem::path PathUnderMachineRoot(std::string_view relative) {
    while (!relative.empty() && relative.front() == '/') relative.remove_prefix(1);
    return MachineRoot() / std::filesystem::path(relative);
}

}  // namespace platform
