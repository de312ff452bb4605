// The one place that decides which Windows API the system is built against: the real one on
// Windows, our Linux layer elsewhere. Nothing else in the system tests the platform.
#pragma once

#if defined(_WIN32)
#include <comdef.h>
#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>
#include <windows.h>
#else
#include "platform/posix/win32.h"
#endif
