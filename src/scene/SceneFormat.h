#pragma once
// The scene's section of a slide file, field by field (little-endian, no
// padding):
//
//   panel preferences   9 bytes (manager base)
//   object count N      int32
//   N object records    in list order:
//     kind              int32
//     parent            int32, -1 for none
//     catalog index     int32            kinds 1, 4, 7, 9
//     text              260 UTF-16 units kind 4
//     font              60 UTF-16 units  kind 4
//     timeline section  the object's timeline, or int32 0 without one
//
// The scene manager's Write and Read use these functions; the slide
// inspector and the fuzzers use them too.
#include <cstdint>
#include <istream>
#include <ostream>

#include "model/SceneObjects.h"

namespace mv::scene {

// Only these are real objects: a damaged file may name any other number.
inline bool IsKnownObjectKind(std::int32_t kind) { return kind >= OBJ_MESH && kind <= OBJ_METABALL; }
inline bool RecordHasCatalogIndex(std::int32_t kind) {
  return kind == OBJ_MESH || kind == OBJ_TEXT || kind == OBJ_ANIM || kind == OBJ_GENERATED;
}
inline bool RecordHasText(std::int32_t kind) { return kind == OBJ_TEXT; }

// Bytes of a record before its timeline section.
inline int RecordHeaderBytes(std::int32_t kind) {
  return 8 + (RecordHasCatalogIndex(kind) ? 4 : 0) + (RecordHasText(kind) ? 2 * (kNameLength + kFontLength) : 0);
}

// The kind of the fixed role at list index 0, 1, 2 and 3 (light, camera,
// sky box, post-process object: the post-process chain reads index 3); 0
// for any other index.
inline std::int32_t FixedRoleKind(int index) {
  return index == 0 ? OBJ_LIGHT : index == 1 ? OBJ_CAMERA : index == 2 ? OBJ_SKYBOX : index == 3 ? OBJ_POSTPROCESS : 0;
}
inline constexpr int kFixedRoleCount = 4;

// More objects than any scene holds: a larger count marks a damaged
// section, which is then not read at all (an object costs far more memory
// than its record's bytes, so the count must be bounded up front).
inline constexpr std::int32_t kMaxObjectsRead = 1 << 16;

struct SceneRecordHeader {
  std::int32_t kind = 0;
  std::int32_t parent = -1;
  std::int32_t catalogIndex = -1;  // -1 when the kind stores none
  char16_t text[kNameLength] = {};
  char16_t font[kFontLength] = {};
};

void WriteSceneRecordHeader(std::ostream& out, const SceneRecordHeader& record);

enum class RecordStatus { Ok, StreamFailed, UnknownKind };

// Reads kind and parent, then the fields the kind stores. Text and font
// come back NUL-terminated whatever the file held. An unknown kind stops
// after the parent: what follows cannot be parsed.
RecordStatus ReadSceneRecordHeader(std::istream& in, SceneRecordHeader& record);

// The record header of a listed object (text and font as they stand in
// memory, the whole arrays).
SceneRecordHeader RecordHeaderOf(const CSceneObject& object);

}  // namespace mv::scene
