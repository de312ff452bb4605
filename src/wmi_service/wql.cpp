#include "wmi_service/wql.h"

#include "wmi_service/com_object.h"

#include <cwctype>

namespace wmi_service {

namespace {

// A cursor over the query text.
class WqlReader {
  public:
    explicit WqlReader(std::wstring_view text) : text_(text) {}

    void SkipBlanks() {
        while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
    }
    bool AtEnd() {
        SkipBlanks();
        return pos_ == text_.size();
    }
    // A name: a letter or underscore, then letters, digits and underscores.
    std::wstring Identifier() {
        SkipBlanks();
        const std::size_t start = pos_;
        if (pos_ < text_.size() && IsNameStart(text_[pos_])) {
            ++pos_;
            while (pos_ < text_.size() && (IsNameStart(text_[pos_]) || IsDigit(text_[pos_]))) {
                ++pos_;
            }
        }
        return std::wstring(text_.substr(start, pos_ - start));
    }
    // A keyword stands on its own: it must not run on into a name.
    bool Keyword(std::wstring_view keyword) {
        SkipBlanks();
        const std::size_t start = pos_;
        const std::wstring word = Identifier();
        if (EqualsIgnoreCase(word, keyword)) return true;
        pos_ = start;
        return false;
    }
    bool Symbol(wchar_t symbol) {
        SkipBlanks();
        if (pos_ < text_.size() && text_[pos_] == symbol) {
            ++pos_;
            return true;
        }
        return false;
    }
    // '...' without any quote inside.
    bool QuotedText(std::wstring& out) {
        if (!Symbol(L'\'')) return false;
        const std::size_t end = text_.find(L'\'', pos_);
        if (end == std::wstring_view::npos) return false;
        out = std::wstring(text_.substr(pos_, end - pos_));
        if (out.find(L'"') != std::wstring::npos) return false;
        pos_ = end + 1;
        return true;
    }

  private:
    static bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }
    static bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
    static bool IsNameStart(wchar_t c) {
        return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'_';
    }

    std::wstring_view text_;
    std::size_t pos_ = 0;
};

bool Parse(std::wstring_view text, WqlQuery& query) {
    WqlReader reader(text);
    if (!reader.Keyword(L"SELECT")) return false;
    if (!reader.Symbol(L'*')) {
        do {
            std::wstring property = reader.Identifier();
            if (property.empty()) return false;
            query.properties.push_back(std::move(property));
        } while (reader.Symbol(L','));
    }
    if (!reader.Keyword(L"FROM")) return false;
    query.className = reader.Identifier();
    if (query.className.empty()) return false;
    if (reader.Keyword(L"WHERE")) {
        WqlCondition condition;
        condition.property = reader.Identifier();
        if (condition.property.empty()) return false;
        if (!reader.Symbol(L'=')) return false;
        if (!reader.QuotedText(condition.text)) return false;
        query.where = std::move(condition);
    }
    return reader.AtEnd();
}

}  // namespace

HRESULT ParseWql(std::wstring_view text, WqlQuery& query) {
    query = WqlQuery{};
    WqlQuery parsed;
    if (!Parse(text, parsed)) return Hr(WBEM_E_INVALID_QUERY);
    query = std::move(parsed);
    return WBEM_S_NO_ERROR;
}

}  // namespace wmi_service
