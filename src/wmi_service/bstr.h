// BSTRs of the WMI model: copies owned by UniqueBstr, and their text.
#pragma once

#include "platform/owners.h"
#include "platform/platform.h"

#include <string>
#include <string_view>

namespace wmi_service {

// A copy of `text`; throws std::bad_alloc when it cannot be allocated.
UniqueBstr CopyBstr(std::wstring_view text);

// The text of a BSTR up to its first NUL; a null BSTR reads as empty.
std::wstring BstrText(BSTR value);

}  // namespace wmi_service
