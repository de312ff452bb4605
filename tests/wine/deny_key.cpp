// Test helper: makes the tool's registry key readable only, as on a machine where the deployment
// account lacks the right to change it. Wine keeps the restriction until its server stops.
#include <windows.h>
#include <sddl.h>

#include <cstdio>
#include <memory>

namespace {

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};

}  // namespace

int wmain() {
    HKEY raw_key = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Vantrel\\Vantrel Cellkeeper Patch",
                                     0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &raw_key, nullptr);
    if (status != ERROR_SUCCESS) {
        std::fprintf(stderr, "deny_key: cannot create the key: %ld\n", static_cast<long>(status));
        return 1;
    }
    std::unique_ptr<HKEY__, KeyCloser> key(raw_key);

    PSECURITY_DESCRIPTOR raw_descriptor = nullptr;
    // Everyone may read; nobody may write.
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KR;;;WD)", SDDL_REVISION_1,
                                                              &raw_descriptor, nullptr)) {
        std::fprintf(stderr, "deny_key: bad descriptor: %lu\n", GetLastError());
        return 1;
    }
    std::unique_ptr<void, LocalFreer> descriptor(raw_descriptor);

    status = RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor.get());
    if (status != ERROR_SUCCESS) {
        std::fprintf(stderr, "deny_key: RegSetKeySecurity failed: %ld\n", static_cast<long>(status));
        return 1;
    }
    return 0;
}
