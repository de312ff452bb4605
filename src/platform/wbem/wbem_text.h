// Text comparison as WMI does it for class, property and namespace names and for the strings
// of a WQL condition: without regard to the letter case of A to Z.
#pragma once

#include <string_view>

namespace wbem {

bool SameText(std::wstring_view left, std::wstring_view right);

}  // namespace wbem
