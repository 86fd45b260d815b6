#pragma once
// What a reader repaired or ignored while it took a file in: a value out of
// range that it clamped, a count it bounded, a byte it read leniently. The
// player lives with these and says nothing; the slide inspector collects
// them, with their byte offsets, to report exactly what the player does.
//
// Nothing is formatted or stored unless a collector is installed on the
// calling thread, so the notes cost a player nothing.
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace mv::io {

struct ReadNote {
  std::int64_t offset = -1;  // byte offset of the field in the stream, -1 when unknown
  std::string text;
};

// Collects the notes of the readers run on this thread while it lives.
class ReadNoteCollector {
 public:
  ReadNoteCollector();
  ~ReadNoteCollector();
  ReadNoteCollector(const ReadNoteCollector&) = delete;
  ReadNoteCollector& operator=(const ReadNoteCollector&) = delete;

  const std::vector<ReadNote>& Notes() const { return m_notes; }
  void Add(ReadNote note) { m_notes.push_back(std::move(note)); }

 private:
  std::vector<ReadNote> m_notes;
  ReadNoteCollector* m_previous = nullptr;
};

bool CollectingReadNotes();

// Notes a repair of the field of `fieldBytes` bytes that `in` has just
// read (printf-style text).
void NoteRepair(std::istream& in, std::int64_t fieldBytes, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// The same at a byte offset the reader knows (a stream that has failed can
// no longer tell its position).
void NoteRepairAt(std::int64_t offset, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace mv::io
