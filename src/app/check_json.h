// The JSON text of the read-only check: one object on one line. Machine texts can hold
// anything (quotes, control characters, invalid code points, kilobytes of padding), so every
// text is escaped to plain ASCII and cut to a bounded length; the whole line then stays valid
// JSON and within what a deployment console shows of a script's output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Intune shows this much of a detection or remediation script's output.
inline constexpr std::size_t kCheckLineLimit = 2048;
// The escaped length of one machine text; longer ones end in "...".
inline constexpr std::size_t kCheckTextLimit = 96;
// The possible values listed for the setting; the rest are left off.
inline constexpr std::size_t kCheckListLimit = 6;

// `text` as a quoted JSON string of ASCII only: '"', '\\' and control characters escaped,
// everything past U+007E as \uXXXX (surrogate pairs above U+FFFF; a lone surrogate becomes
// U+FFFD). With `limit`, the quoted content is cut before an escape that would pass it.
std::string JsonString(std::wstring_view text, std::size_t limit = kCheckTextLimit);

// Builds one JSON object, member by member.
class JsonObject {
  public:
    JsonObject& Text(std::string_view name, std::wstring_view text,
                     std::size_t limit = kCheckTextLimit);
    JsonObject& OptionalText(std::string_view name, const std::optional<std::wstring>& text);
    JsonObject& Number(std::string_view name, std::int64_t value);
    JsonObject& OptionalNumber(std::string_view name, const std::optional<std::int64_t>& value);
    JsonObject& Bool(std::string_view name, bool value);
    JsonObject& OptionalBool(std::string_view name, const std::optional<bool>& value);
    JsonObject& Null(std::string_view name);
    JsonObject& TextList(std::string_view name, const std::vector<std::wstring>& texts,
                         std::size_t limit = kCheckListLimit);
    JsonObject& Object(std::string_view name, const JsonObject& object);
    JsonObject& OptionalObject(std::string_view name, const std::optional<JsonObject>& object);

    // "{...}"
    std::string Finish() const;

  private:
    JsonObject& Member(std::string_view name, std::string_view json);
    std::string body_;
};
