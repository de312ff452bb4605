#include "platform/wbem/wbem_text.h"

namespace wbem {

namespace {

wchar_t FoldCase(wchar_t c) {
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

}  // namespace

bool SameText(std::wstring_view left, std::wstring_view right) {
    if (left.size() != right.size()) return false;
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (FoldCase(left[i]) != FoldCase(right[i])) return false;
    }
    return true;
}

}  // namespace wbem
