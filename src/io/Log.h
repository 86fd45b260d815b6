#pragma once
// The single logging operation. The delivered sink discards every line; a
// debug build, or MORVANE_LOG=1, sends them to standard error. Tests may
// install their own sink to see what was logged.
#include <functional>
#include <string_view>

void Log(std::u16string_view text);
void Log(std::string_view utf8);
inline void Log(const char* utf8) { Log(std::string_view(utf8)); }
inline void Log(const char16_t* text) { Log(std::u16string_view(text)); }

namespace mv::io {
using LogSink = std::function<void(std::string_view utf8)>;
// Replaces the sink; an empty function restores the default one.
void SetLogSink(LogSink sink);
}  // namespace mv::io
