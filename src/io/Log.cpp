#include "io/Log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "io/Utf16.h"

namespace {

bool DefaultToStderr() {
#ifndef NDEBUG
  return true;
#else
  const char* v = std::getenv("MORVANE_LOG");
  return v && std::strcmp(v, "0") != 0 && *v;
#endif
}

mv::io::LogSink& Sink() {
  static mv::io::LogSink sink;
  return sink;
}

}  // namespace

void Log(std::string_view utf8) {
  if (auto& s = Sink()) {
    s(utf8);
    return;
  }
  static const bool toStderr = DefaultToStderr();
  if (toStderr) std::fwrite(utf8.data(), 1, utf8.size(), stderr);
}

void Log(std::u16string_view text) {
  if (!Sink()) {
    static const bool toStderr = DefaultToStderr();
    if (!toStderr) return;  // nothing to convert for
  }
  Log(std::string_view(mv::io::Utf16ToUtf8(text)));
}

namespace mv::io {
void SetLogSink(LogSink sink) { Sink() = std::move(sink); }
}  // namespace mv::io
