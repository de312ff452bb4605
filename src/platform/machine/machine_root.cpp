#include "platform/machine/machine_root.h"

#include <cstdlib>

namespace machine {

std::filesystem::path Root() {
    const char* root = std::getenv("CELLKEEPER_ROOT");
    if (root == nullptr || *root == '\0') return std::filesystem::path("/");
    return std::filesystem::path(root);
}

std::filesystem::path PathUnderRoot(std::string_view relative) {
    while (!relative.empty() && relative.front() == '/') relative.remove_prefix(1);
    return Root() / std::filesystem::path(relative);
}

}  // namespace machine
