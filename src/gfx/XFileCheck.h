#pragma once
// What the importer trusts and must not be handed: skin weights that name
// vertices their mesh does not have (it writes past its arrays) and normal
// faces that name normals past their list (it reads past it). The check
// reads the text, binary and MSZIP-compressed encodings.
#include <string>

namespace gfx::detail {

// False, with a reason, for a file the importer must not read.
bool CheckXFileForImporter(const std::string& bytes, std::string* why);

}  // namespace gfx::detail
