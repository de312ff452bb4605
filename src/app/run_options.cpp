#include "app/run_options.h"

#include "base/text.h"

namespace {

constexpr const wchar_t* kForceOption = L"/FORCE";
constexpr const wchar_t* kHelpOptions[] = {L"/?", L"-?", L"/H", L"-H", L"/HELP", L"--HELP"};

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

bool HasHelpOption(int argc, const wchar_t* const* argv) {
    for (int i = 1; i < argc; ++i) {
        if (argv[i] == nullptr) continue;
        for (const wchar_t* option : kHelpOptions) {
            if (EqualsIgnoreCase(argv[i], option)) return true;
        }
    }
    return false;
}
