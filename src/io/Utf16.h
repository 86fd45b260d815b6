#pragma once
// UTF-16 text as the files store it (char16_t, never wchar_t) and the one
// place that converts it.
#include <cstddef>
#include <string>
#include <string_view>

namespace mv::io {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view text);

// 8-bit "system code page" text: UTF-8 when it is valid UTF-8, otherwise
// Windows-1252. Returns UTF-8.
std::string AnsiToUtf8(std::string_view bytes);
bool IsValidUtf8(std::string_view bytes);

// Length of a NUL-terminated array of at most n units.
std::size_t Length16(const char16_t* s, std::size_t n);
std::size_t Length8(const char* s, std::size_t n);
// Copies into a fixed array of n units, truncating, always NUL-terminated.
void CopyToFixed(char16_t* dst, std::size_t n, std::u16string_view src);
void CopyToFixed(char* dst, std::size_t n, std::string_view src);
// The text of a fixed array up to its first NUL (or all n units).
std::u16string_view FixedView(const char16_t* s, std::size_t n);

}  // namespace mv::io
