#include "wmi/com_init_guard.h"

ComInitGuard::ComInitGuard()
    : initResult(CoInitializeEx(
          /*pvReserved=*/nullptr,
          static_cast<DWORD>(COINIT_APARTMENTTHREADED | COINIT_SPEED_OVER_MEMORY))) {}

ComInitGuard::~ComInitGuard() {
    // A failed initialisation (another apartment model, say) is not ours to undo.
    if (SUCCEEDED(initResult)) CoUninitialize();
}
