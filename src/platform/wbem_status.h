// WMI status codes as HRESULTs. The SDK declares WBEM_E_* and WBEM_S_* as the unsigned
// enumeration WBEMSTATUS, so a bare code does not compare with an HRESULT (signed) and does not
// convert to one without a cast; Hr(WBEM_E_NOT_FOUND) is the HRESULT 0x80041002, negative as a
// failure is. Works alike with the SDK and with the Linux layer.
#pragma once

#include "platform/platform.h"

constexpr HRESULT Hr(WBEMSTATUS code) { return static_cast<HRESULT>(code); }
