#include "scene/SceneFormat.h"

#include <algorithm>

#include "io/BinaryIO.h"

namespace mv::scene {

void WriteSceneRecordHeader(std::ostream& out, const SceneRecordHeader& record) {
  io::WriteI32(out, record.kind);
  io::WriteI32(out, record.parent);
  if (RecordHasCatalogIndex(record.kind)) io::WriteI32(out, record.catalogIndex);
  if (RecordHasText(record.kind)) {
    io::WriteChars16(out, record.text, kNameLength);
    io::WriteChars16(out, record.font, kFontLength);
  }
}

RecordStatus ReadSceneRecordHeader(std::istream& in, SceneRecordHeader& record) {
  record = SceneRecordHeader{};
  if (!io::ReadI32(in, record.kind) || !io::ReadI32(in, record.parent)) return RecordStatus::StreamFailed;
  if (!IsKnownObjectKind(record.kind)) return RecordStatus::UnknownKind;
  if (RecordHasCatalogIndex(record.kind) && !io::ReadI32(in, record.catalogIndex))
    return RecordStatus::StreamFailed;
  if (RecordHasText(record.kind)) {
    const bool ok = io::ReadChars16(in, record.text, kNameLength) && io::ReadChars16(in, record.font, kFontLength);
    record.text[kNameLength - 1] = 0;
    record.font[kFontLength - 1] = 0;
    if (!ok) return RecordStatus::StreamFailed;
  }
  return RecordStatus::Ok;
}

SceneRecordHeader RecordHeaderOf(const CSceneObject& object) {
  SceneRecordHeader r;
  r.kind = object.kind;
  r.parent = object.parent;
  if (const auto* mesh = dynamic_cast<const CMesh*>(&object)) {
    if (RecordHasCatalogIndex(object.kind)) r.catalogIndex = mesh->catalogIndex;
    std::copy(std::begin(mesh->text), std::end(mesh->text), r.text);
    std::copy(std::begin(mesh->font), std::end(mesh->font), r.font);
  }
  return r;
}

}  // namespace mv::scene
