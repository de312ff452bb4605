// Kept only for the test files of the WMI service and the providers, which include it; new tests
// include platform/wbem_status.h, where Hr lives.
#pragma once

#include "platform/wbem_status.h"
