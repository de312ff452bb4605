#include "platform/posix/kernel.h"

#include "base/text.h"

#include "platform/posix/firmware.h"

#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <mutex>
#include <string_view>
#include <thread>

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

constexpr std::uintptr_t kHighestOrdinal = 0xFFFF;

// The one module this layer knows; any non-null value would do, it is never dereferenced.
HMODULE Kernel32Module() {
    static char marker;
    return reinterpret_cast<HMODULE>(&marker);
}

struct HandleTable {
    std::mutex mutex;
    std::map<HANDLE, std::unique_ptr<posix::KernelObject>> objects;
};

HandleTable& Handles() {
    static HandleTable table;
    return table;
}

// Through void(*)(), the generic function pointer type, as a FARPROC is handed out on Windows.
template <typename Function>
FARPROC AsFarProc(Function* function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

bool IsPseudoHandle(HANDLE handle) {
    return handle == GetCurrentProcess() || handle == GetCurrentThread();
}

}  // namespace

extern "C" {

DWORD WINAPI GetLastError() { return lastError; }

void WINAPI SetLastError(DWORD dwErrCode) { lastError = dwErrCode; }

HANDLE WINAPI GetCurrentProcess() {
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));
}

HANDLE WINAPI GetCurrentThread() {
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-2));
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
    if (IsPseudoHandle(hObject)) return TRUE;
    std::unique_ptr<posix::KernelObject> closed;
    {
        HandleTable& table = Handles();
        std::lock_guard lock(table.mutex);
        auto found = table.objects.find(hObject);
        if (found == table.objects.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        closed = std::move(found->second);
        table.objects.erase(found);
    }
    return TRUE;
}

HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName) {
    // Module names compare without regard to ASCII letter case, as Windows compares them.
    if (lpModuleName != nullptr && (EqualsIgnoreCase(lpModuleName, L"kernel32.dll") ||
                                    EqualsIgnoreCase(lpModuleName, L"kernel32"))) {
        return Kernel32Module();
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    if (hModule != Kernel32Module()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    // Names only: an ordinal (a "pointer" that fits in 16 bits) names nothing here.
    if (reinterpret_cast<std::uintptr_t>(lpProcName) > kHighestOrdinal) {
        const std::string_view name(lpProcName);
        if (name == "GetFirmwareEnvironmentVariableExW") {
            return AsFarProc(&GetFirmwareEnvironmentVariableExW);
        }
        if (name == "SetFirmwareEnvironmentVariableExW") {
            return AsFarProc(&SetFirmwareEnvironmentVariableExW);
        }
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

}  // extern "C"

namespace posix {

HANDLE InsertHandle(std::unique_ptr<KernelObject> object) {
    HANDLE handle = object.get();
    HandleTable& table = Handles();
    std::lock_guard lock(table.mutex);
    table.objects.emplace(handle, std::move(object));
    return handle;
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        reset();
        fd_ = other.release();
    }
    return *this;
}

int UniqueFd::reset() {
    const int fd = release();
    return fd >= 0 ? close(fd) : 0;
}

int LockExclusive(int fd, std::optional<std::chrono::milliseconds> wait) {
    constexpr auto kPollInterval = std::chrono::milliseconds(10);
    const auto start = std::chrono::steady_clock::now();
    int interrupted = 0;
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) return 0;
        if (errno == EINTR && ++interrupted < kMaxInterruptedRetries) continue;
        if (errno != EWOULDBLOCK) return errno;
        const auto waited = std::chrono::steady_clock::now() - start;
        if (wait && waited >= *wait) return EWOULDBLOCK;
        std::this_thread::sleep_for(
            wait ? std::min<std::chrono::steady_clock::duration>(kPollInterval, *wait - waited)
                 : kPollInterval);
    }
}

DWORD ErrorFromErrno(int error, DWORD fallback) {
    switch (error) {
        case 0:
            return ERROR_SUCCESS;
        case EACCES:
        case EPERM:
        case EROFS:
            return ERROR_ACCESS_DENIED;
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case ENOSPC:
        case EDQUOT:
            return ERROR_DISK_FULL;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case ENAMETOOLONG:
            return ERROR_INVALID_NAME;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        default:
            return fallback;
    }
}

KernelObject* LookupHandle(HANDLE handle) {
    HandleTable& table = Handles();
    std::lock_guard lock(table.mutex);
    auto found = table.objects.find(handle);
    return found == table.objects.end() ? nullptr : found->second.get();
}

}  // namespace posix
