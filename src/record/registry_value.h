// Typed reads and writes of one registry value, so that sizes and byte views are worked out in
// one place. Each call is the one Windows call it stands for, and returns that call's result.
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <string>

LONG SetDword(HKEY key, const wchar_t* name, DWORD value);
LONG SetQword(HKEY key, const wchar_t* name, std::int64_t value);
// A REG_SZ value; its size counts UTF-16 code units and the terminating zero, on both platforms.
LONG SetString(HKEY key, const wchar_t* name, const std::wstring& text);

// Read a value of exactly that type; `value` is left alone when the call fails.
LONG GetDword(HKEY key, const wchar_t* name, DWORD& value);
LONG GetQword(HKEY key, const wchar_t* name, std::int64_t& value);
