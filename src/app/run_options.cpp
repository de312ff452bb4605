#include "app/run_options.h"

#include "base/text.h"

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace {

// The rest of `argument` after `prefix` (compared in any letter case), or nothing.
std::optional<std::wstring> AfterPrefix(std::wstring_view argument, std::wstring_view prefix) {
    if (argument.size() < prefix.size() ||
        !EqualsIgnoreCase(argument.substr(0, prefix.size()), prefix)) {
        return std::nullopt;
    }
    return std::wstring(argument.substr(prefix.size()));
}

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
        for (const wchar_t* prefix : {L"/PASSWORDFILE:", L"--PASSWORD-FILE="}) {
            if (std::optional<std::wstring> path = AfterPrefix(argument, prefix)) {
                options.passwordFile = std::move(path);
            }
        }
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
