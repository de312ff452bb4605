// The Linux layer's stand-in for the Windows headers that the system includes.
#pragma once

#include "platform/posix/com.h"
#include "platform/posix/comdef.h"
#include "platform/posix/file.h"
#include "platform/posix/firmware.h"
#include "platform/posix/kernel.h"
#include "platform/posix/oleauto.h"
#include "platform/posix/registry.h"
#include "platform/posix/synch.h"
#include "platform/posix/token.h"
#include "platform/posix/wbemidl.h"
#include "platform/posix/win_types.h"
