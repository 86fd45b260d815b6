#pragma once
// The object catalog: what a user can put into the scene, read once at
// start-up from "media\mesh\objects.mesh" and kept for the whole run.
// Scene objects and slide records refer to entries by their index.
#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <string_view>
#include <vector>

struct CatalogEntry {
  char16_t name[260] = {};
  char16_t file[260] = {};
  std::int32_t kind = 0;  // 0 when the keyword is unknown
  char16_t text[60] = {};
  std::int32_t number = 0;  // font height in points for a 3D text
};

// Kind of a catalog keyword (exact, case-sensitive); 0 when unknown.
std::int32_t CatalogKeywordKind(std::string_view keyword);

class Catalog {
 public:
  static constexpr const char* kDefaultPath = "media\\mesh\\objects.mesh";

  // Replaces the entries by those read from `in` (the text format of
  // objects.mesh). Returns the number of entries.
  std::size_t Load(std::istream& in);
  // Opens the file (Windows-style path relative to the working folder);
  // a missing file leaves the catalog empty.
  std::size_t LoadFile(std::string_view windowsPath = kDefaultPath);
  // Deletes every entry.
  void Free();

  std::size_t Count() const { return m_entries.size(); }
  bool Contains(std::int32_t index) const {
    return index >= 0 && static_cast<std::size_t>(index) < m_entries.size();
  }
  // Null for an index outside the catalog.
  const CatalogEntry* Get(std::int32_t index) const {
    return Contains(index) ? m_entries[static_cast<std::size_t>(index)].get() : nullptr;
  }

 private:
  std::vector<std::unique_ptr<CatalogEntry>> m_entries;
};

// The program's catalog: loaded by InitApp, freed by CloseApp.
Catalog& ObjectCatalog();
