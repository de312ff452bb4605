#include "app/run_options.h"

#include "base/text.h"

namespace {

constexpr const wchar_t* kForceOption = L"/FORCE";

}  // namespace

bool HasForceOption(int argc, const wchar_t* const* argv) {
    bool force = false;
    for (int i = 1; i < argc; ++i) {
        if (argv[i] != nullptr && EqualsIgnoreCase(argv[i], kForceOption)) {
            force = true;
        }
    }
    return force;
}
