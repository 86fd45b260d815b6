// The object catalog's text: any bytes must read without crashing, stop at
// most after 1000 rows (indices have three characters and must grow), and
// leave every entry's strings terminated inside their arrays.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "io/Utf16.h"
#include "scene/Catalog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size), std::ios::binary);
  Catalog catalog;
  const std::size_t n = catalog.Load(in);
  if (n != catalog.Count() || n > 1000) std::abort();
  for (std::size_t i = 0; i < n; ++i) {
    const CatalogEntry* e = catalog.Get(static_cast<std::int32_t>(i));
    if (!e) std::abort();
    if (mv::io::Length16(e->name, 260) > 259 || mv::io::Length16(e->file, 260) > 259 ||
        mv::io::Length16(e->text, 60) > 59)
      std::abort();
    if (e->kind < 0 || e->kind > 11 || e->kind == 6) std::abort();
  }
  return 0;
}
