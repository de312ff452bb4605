#include "app/run_options.h"

#include "base/text.h"

#include <cstddef>

namespace {

constexpr const wchar_t* kForceOption = L"/FORCE";
constexpr const wchar_t* kHelpOptions[] = {L"/?", L"-?", L"/H", L"-H", L"/HELP", L"--HELP"};
constexpr const wchar_t* kVersionOptions[] = {L"/VERSION", L"--VERSION"};
constexpr const wchar_t* kCheckOptions[] = {L"/CHECK", L"--CHECK"};

template <std::size_t N>
bool HasAnyOf(int argc, const wchar_t* const* argv, const wchar_t* const (&options)[N]) {
    for (int i = 1; i < argc; ++i) {
        if (argv[i] == nullptr) continue;
        for (const wchar_t* option : options) {
            if (EqualsIgnoreCase(argv[i], option)) return true;
        }
    }
    return false;
}

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
    return HasAnyOf(argc, argv, kHelpOptions);
}

bool HasVersionOption(int argc, const wchar_t* const* argv) {
    return HasAnyOf(argc, argv, kVersionOptions);
}

bool HasCheckOption(int argc, const wchar_t* const* argv) {
    return HasAnyOf(argc, argv, kCheckOptions);
}
