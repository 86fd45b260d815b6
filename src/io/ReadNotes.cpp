#include "io/ReadNotes.h"

#include <cstdarg>
#include <cstdio>

namespace mv::io {

namespace {
thread_local ReadNoteCollector* t_collector = nullptr;
}

ReadNoteCollector::ReadNoteCollector() : m_previous(t_collector) { t_collector = this; }

ReadNoteCollector::~ReadNoteCollector() { t_collector = m_previous; }

bool CollectingReadNotes() { return t_collector != nullptr; }

void NoteRepair(std::istream& in, std::int64_t fieldBytes, const char* format, ...) {
  if (!t_collector) return;
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  const std::int64_t end = in ? static_cast<std::int64_t>(in.tellg()) : -1;
  t_collector->Add(ReadNote{end >= fieldBytes ? end - fieldBytes : -1, text});
}

}  // namespace mv::io
