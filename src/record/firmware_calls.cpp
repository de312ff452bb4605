#include "record/firmware_calls.h"

FirmwareCallCache firmwareCalls;

namespace {

// Going through a pointer to a function without parameters is the sanctioned way to convert
// between unrelated function pointer types.
using PlainFunction = void (*)();

template <typename Call>
Call CastProc(FARPROC proc) {
    return reinterpret_cast<Call>(reinterpret_cast<PlainFunction>(proc));
}

}  // namespace

void LookUpFirmwareCalls() {
    if (firmwareCalls.lookedUp || firmwareCalls.getVariableEx != nullptr) {
        return;
    }
    firmwareCalls.lookedUp = true;
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) {
        return;
    }
    firmwareCalls.getVariableEx = CastProc<GetFirmwareEnvironmentVariableExWCall>(
        GetProcAddress(kernel, "GetFirmwareEnvironmentVariableExW"));
    firmwareCalls.setVariableEx = CastProc<SetFirmwareEnvironmentVariableExWCall>(
        GetProcAddress(kernel, "SetFirmwareEnvironmentVariableExW"));
}
