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

namespace {

void Add(std::int64_t offset, const char* format, va_list args) {
  char text[256];
  std::vsnprintf(text, sizeof text, format, args);
  t_collector->Add(ReadNote{offset, text});
}

}  // namespace

void NoteRepair(std::istream& in, std::int64_t fieldBytes, const char* format, ...) {
  if (!t_collector) return;
  const std::int64_t end = in ? static_cast<std::int64_t>(in.tellg()) : -1;
  va_list args;
  va_start(args, format);
  Add(end >= fieldBytes ? end - fieldBytes : -1, format, args);
  va_end(args);
}

void NoteRepairAt(std::int64_t offset, const char* format, ...) {
  if (!t_collector) return;
  va_list args;
  va_start(args, format);
  Add(offset, format, args);
  va_end(args);
}

}  // namespace mv::io
