// Test helper: makes the tool's registry key readable only, as on a machine where the deployment
// account lacks the right to change it ("deny_key"), and gives everyone full access again
// ("deny_key restore"), so that a shared test prefix is left as it was found. Wine keeps a
// restriction until its server stops.
// windows.h first: sddl.h needs its declarations.
#include <windows.h>

#include <sddl.h>

#include <cstdio>
#include <cwchar>
#include <memory>

namespace {

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool restore = argc > 1 && std::wcscmp(argv[1], L"restore") == 0;
    HKEY raw_key = nullptr;
    const wchar_t* path = L"SOFTWARE\\Vantrel\\Vantrel Cellkeeper Patch";
    // Changing the access list needs only WRITE_DAC, which the key's owner keeps.
    LSTATUS status =
        restore ? RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, WRITE_DAC | KEY_WOW64_64KEY, &raw_key)
                : RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &raw_key, nullptr);
    if (status != ERROR_SUCCESS) {
        std::fprintf(stderr, "deny_key: cannot open the key: %ld\n", static_cast<long>(status));
        return 1;
    }
    std::unique_ptr<HKEY__, KeyCloser> key(raw_key);

    PSECURITY_DESCRIPTOR raw_descriptor = nullptr;
    // Everyone may read and nobody may write; or, to restore, everyone may do everything.
    const wchar_t* sddl = restore ? L"D:P(A;;KA;;;WD)" : L"D:P(A;;KR;;;WD)";
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                              &raw_descriptor, nullptr)) {
        std::fprintf(stderr, "deny_key: bad descriptor: %lu\n", GetLastError());
        return 1;
    }
    std::unique_ptr<void, LocalFreer> descriptor(raw_descriptor);

    status = RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor.get());
    if (status != ERROR_SUCCESS) {
        std::fprintf(stderr, "deny_key: RegSetKeySecurity failed: %ld\n",
                     static_cast<long>(status));
        return 1;
    }
    return 0;
}
