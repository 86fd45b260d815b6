#include "scene/Catalog.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <string>

#include "io/Log.h"
#include "io/Paths.h"
#include "io/Utf16.h"

namespace {

// Field widths of one row: longer fields fail the stream.
constexpr std::size_t kIndexChars = 3;
constexpr std::size_t kNameChars = 254;
constexpr std::size_t kFileChars = 254;
constexpr std::size_t kKeywordChars = 19;
constexpr std::size_t kTextChars = 59;
constexpr std::size_t kNumberChars = 3;

// Reads the text-mode character stream: a CR before an LF is dropped, as
// the file was written for a reader that folds line ends.
int NextChar(std::istream& in) {
  int c = in.get();
  if (c == '\r' && in.peek() == '\n') c = in.get();
  return c;
}

int PeekChar(std::istream& in) {
  return in.peek();
}

// One comma-terminated field of at most `limit` characters. A longer field
// fails the stream; a failed stream gives empty fields from then on. At the
// end of the input the characters read so far form the field, and reading
// nothing at all fails the stream.
std::string ReadField(std::istream& in, std::size_t limit) {
  std::string field;
  if (!in.good()) {
    in.setstate(std::ios::failbit);
    return field;
  }
  for (;;) {
    const int c = NextChar(in);
    if (c == std::char_traits<char>::eof()) {
      in.clear(in.rdstate() & ~std::ios::failbit);
      in.setstate(std::ios::eofbit);
      if (field.empty()) in.setstate(std::ios::failbit);
      return field;
    }
    if (c == ',') return field;
    if (field.size() == limit) {
      in.unget();
      in.setstate(std::ios::failbit);
      return field;
    }
    field += static_cast<char>(c);
  }
}

void SkipWhiteSpace(std::istream& in) {
  if (!in.good()) return;
  for (;;) {
    const int c = PeekChar(in);
    if (c == std::char_traits<char>::eof() || !std::isspace(static_cast<unsigned char>(c))) return;
    in.get();
  }
}

// "#" ends the catalog; a line break after it (no comma at the end of the
// file) still counts as the marker.
bool IsEndMarker(const std::string& field) {
  std::size_t end = field.size();
  while (end > 0 && std::isspace(static_cast<unsigned char>(field[end - 1]))) --end;
  return end == 1 && field[0] == '#';
}

std::int32_t ToInt(const std::string& text) {
  // At most three characters, so strtol cannot overflow an int32.
  return static_cast<std::int32_t>(std::strtol(text.c_str(), nullptr, 10));
}

void ToFixed16(char16_t* dst, std::size_t n, const std::string& ansi) {
  mv::io::CopyToFixed(dst, n, mv::io::Utf8ToUtf16(mv::io::AnsiToUtf8(ansi)));
}

}  // namespace

std::int32_t CatalogKeywordKind(std::string_view keyword) {
  struct Keyword {
    std::string_view text;
    std::int32_t kind;
  };
  static constexpr Keyword kKeywords[] = {
      {"MESHOBJ", 1},     {"LIGHTOBJ", 2},       {"CAMERAOBJ", 3},     {"TEXTOBJ", 4},
      {"PARTICLEOBJ", 5}, {"ANIMOBJ", 7},        {"POSTPROCESSOBJ", 8}, {"GENERATEDOBJ", 9},
      {"LAYERTEXTOBJ", 10}, {"METABALLOBJ", 11},
  };
  for (const Keyword& k : kKeywords)
    if (k.text == keyword) return k.kind;
  return 0;
}

std::size_t Catalog::Load(std::istream& in) {
  Free();
  for (;;) {
    auto entry = std::make_unique<CatalogEntry>();
    SkipWhiteSpace(in);
    const bool exhausted = !in.good();
    const std::string indexField = ReadField(in, kIndexChars);
    if (IsEndMarker(indexField)) break;
    // A stream that has nothing left gives no further rows (an empty or
    // failed field here is not a row of index 0).
    if (exhausted && indexField.empty()) break;
    const std::int32_t index = ToInt(indexField);

    ToFixed16(entry->name, 260, ReadField(in, kNameChars));
    ToFixed16(entry->file, 260, ReadField(in, kFileChars));
    entry->kind = CatalogKeywordKind(ReadField(in, kKeywordChars));
    ToFixed16(entry->text, 60, ReadField(in, kTextChars));
    entry->number = ToInt(ReadField(in, kNumberChars));

    if (index < static_cast<std::int32_t>(m_entries.size())) break;
    Log("Referencing Object : " + std::to_string(m_entries.size()) + " , " +
        mv::io::Utf16ToUtf8(mv::io::FixedView(entry->name, 260)) + "...\n");
    m_entries.push_back(std::move(entry));
  }
  return m_entries.size();
}

std::size_t Catalog::LoadFile(std::string_view windowsPath) {
  Free();
  std::ifstream in(mv::io::NativePath(windowsPath), std::ios::binary);
  if (!in.is_open()) return 0;
  return Load(in);
}

void Catalog::Free() { m_entries.clear(); }

Catalog& ObjectCatalog() {
  static Catalog catalog;
  return catalog;
}
