// Linux entry point: converts the arguments to wide text with the locale's character set.
#include "app/run.h"
#include "machine_providers/provider_locator.h"
#include "platform/platform.h"

#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// An argument that is not valid text in the locale becomes empty: it cannot be an option, so
// it is ignored like any other unknown argument.
std::wstring ToWide(const char* argument) {
    std::mbstate_t state{};
    const char* source = argument;
    const std::size_t length = std::mbsrtowcs(nullptr, &source, 0, &state);
    if (length == static_cast<std::size_t>(-1)) {
        return {};
    }
    std::wstring wide(length, L'\0');
    source = argument;
    state = std::mbstate_t{};
    std::mbsrtowcs(wide.data(), &source, length, &state);
    return wide;
}

}  // namespace

int main(int argc, char** argv) {
    // Only the character set matters here; dates and numbers keep their fixed layout.
    std::setlocale(LC_CTYPE, "");
    // Under a file-size limit a write past it must fail (EFBIG) and leave the run going; the
    // signal's default would end the run before it records anything.
    std::signal(SIGXFSZ, SIG_IGN);
    // The machine's own providers answer WMI here, as Windows's WMI service does there.
    posix::SetBuiltInWbemLocator(machine_providers::CreateMachineLocator);
    std::vector<std::wstring> arguments;
    std::vector<const wchar_t*> pointers;
    try {
        for (int i = 0; i < argc; ++i) {
            arguments.push_back(ToWide(argv[i]));
        }
        for (const std::wstring& argument : arguments) {
            pointers.push_back(argument.c_str());
        }
    } catch (...) {
        // Out of memory before the run could start.
        return kExitFatalError;
    }
    return RunCellkeeperPatch(argc, pointers.data());
}
