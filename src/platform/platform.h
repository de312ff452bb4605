// The one place that decides which Windows API the system is built against: the real one on
// Windows, our Linux layer elsewhere. Nothing else in the system tests the platform.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>
#include <comdef.h>
#else
#include "platform/posix/win32.h"
#endif
