// The one way tests write a WMI status code as an HRESULT: Hr(WBEM_E_NOT_FOUND). The SDK declares
// those codes as an unsigned enumeration, so a bare one does not compare with an HRESULT.
#pragma once

#include "wmi_service/com_object.h"

using wbem::Hr;
