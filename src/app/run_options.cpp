#include "app/run_options.h"

#include "base/text.h"

#include <initializer_list>

namespace {

bool IsAnyOf(const wchar_t* argument, std::initializer_list<const wchar_t*> spellings) {
    for (const wchar_t* spelling : spellings) {
        if (EqualsIgnoreCase(argument, spelling)) return true;
    }
    return false;
}

}  // namespace

RunOptions ReadRunOptions(int argc, const wchar_t* const* argv) {
    bool help = false;
    bool version = false;
    bool check = false;
    RunOptions options;
    for (int i = 1; i < argc; ++i) {
        const wchar_t* argument = argv[i];
        if (argument == nullptr) continue;
        if (EqualsIgnoreCase(argument, L"/FORCE")) options.force = true;
        if (EqualsIgnoreCase(argument, L"/EXITSTATUS")) options.exitStatus = true;
        if (IsAnyOf(argument, {L"/?", L"-?", L"/H", L"-H", L"/HELP", L"--HELP"})) help = true;
        if (IsAnyOf(argument, {L"/VERSION", L"--VERSION"})) version = true;
        if (IsAnyOf(argument, {L"/CHECK", L"--CHECK"})) check = true;
    }
    if (help) {
        options.mode = RunMode::kHelp;
    } else if (version) {
        options.mode = RunMode::kVersion;
    } else if (check) {
        options.mode = RunMode::kCheck;
    }
    return options;
}
