#pragma once
// The slide inspector's work, apart from its command line: a slide or
// sequence file turned into a JSON document and back, and the checks. The
// byte layouts come from the managers' own format code.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

// The document:
//   {"file": "slide", "sections": [{"tag": 1, "section": "skybox", ...}, ...],
//    "trailing": "<hex>"}
//   {"file": "sequence", "tag": 7, "panel": {...}, "count": N,
//    "slides": [{"reserved", "number", "duration", "path"}], "trailing": ...}
// Each section holds its fields by name ("panel": {"x", "y", "minimized"},
// keys of the object timelines, chain records, the sound section's "track",
// "enabled" and "volume"...). Floats are numbers that read back as the same
// float, or "0x" and their bits when not finite. Fixed UTF-16 arrays are
// their text, or {"text", "tail"} when units follow the terminator, or
// {"units"} when they hold no plain text. A section that could not be parsed
// carries "raw" bytes (everything after its tag), and "trailing" holds the
// bytes after the last parsed part.
namespace slidetool {

// Ordered so that a dump lists members in file order, as they are edited.
using Document = nlohmann::ordered_json;

struct Problem {
  std::size_t offset = 0;  // byte offset in the file
  std::string reason;
  bool fault = true;  // false: a warning the player lives with
};

struct DumpResult {
  Document doc;
  std::vector<Problem> problems;  // in file order
};

// Parses a slide or (first tag 7) a sequence file. Whatever cannot be
// parsed is kept as raw bytes, so Build(doc) always gives the file back.
DumpResult Dump(std::string_view bytes);

// What the player would do with the file, found by running its own
// readers: the fault that makes it refuse a slide, if any, and in
// `warnings` what it repairs or ignores, in the order it meets them.
std::optional<Problem> Check(std::string_view bytes, std::vector<Problem>* warnings = nullptr);

// Writes the file a document describes. False with a message naming the
// offending member when the document does not describe a file.
bool Build(const Document& doc, std::string& out, std::string& error);

// The text of a document as `dump` prints it (two-space indents). Throws
// Document::type_error on a string that is not UTF-8, which Dump never makes.
std::string ToText(const Document& doc);
// A document from JSON text; nothing, with the reason (the line and column
// of a syntax error), when the text is not JSON or holds a number beyond a
// double. Never throws for bad text.
std::optional<Document> Parse(std::string_view text, std::string& error);

// The command line: dump FILE | check FILE | build JSON OUT.
int Main(int argc, char** argv);

// Lower-case hex of bytes, and back (false on odd length or a non-hex digit).
std::string ToHex(std::string_view bytes);
bool FromHex(std::string_view hex, std::string& out);

}  // namespace slidetool
