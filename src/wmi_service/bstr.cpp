#include "wmi_service/bstr.h"

#include <limits>
#include <new>

namespace wmi_service {

UniqueBstr CopyBstr(std::wstring_view text) {
    if (text.size() > std::numeric_limits<UINT>::max() / 4) throw std::bad_alloc();
    UniqueBstr copy(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
    if (!copy) throw std::bad_alloc();
    return copy;
}

std::wstring BstrText(BSTR value) {
    if (!value) return {};
    return std::wstring(value);
}

}  // namespace wmi_service
