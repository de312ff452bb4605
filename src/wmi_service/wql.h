// The WQL that the in-memory services answer:
//   SELECT <* | property, property...> FROM <class> [WHERE <property> = '<text>']
// Keywords in any letter case, blanks (spaces, tabs, line ends) anywhere between the parts.
// Everything else, including a quote inside the text, an unterminated text and trailing words,
// is WBEM_E_INVALID_QUERY.
#pragma once

#include "base/text.h"
#include "platform/platform.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wmi_service {

struct WqlCondition {
    std::wstring property;
    std::wstring text;  // compared without regard to letter case, as WMI compares strings
};

struct WqlQuery {
    std::vector<std::wstring> properties;  // empty for SELECT *
    std::wstring className;
    std::optional<WqlCondition> where;
};

// Parses `text` into `query`; WBEM_S_NO_ERROR or WBEM_E_INVALID_QUERY.
HRESULT ParseWql(std::wstring_view text, WqlQuery& query);

}  // namespace wmi_service
