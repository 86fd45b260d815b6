#pragma once
// The timeline sections of the slide file, one key at a time. All integers
// are int32 and all floats IEEE single, little-endian. The timelines' Write
// and Read use these; so may any other reader of slide files.
//
// Section: key count N (int32), then N keys in the kind's file order:
//   camera       eye links, look-at links, reserved, duration, eye, look-at   56
//   layer text   position links, reserved, duration, position                 32
//   light        radius link, position links, radius, reserved, duration,
//                position                                                      40
//   mesh         the 64-word block, reserved, duration                        264
//   sky box      links 3, links 1, links 2, reserved, duration, size,
//                vector C, vector A, vector B                                   92
//   post-process extra block (40 int32), reserved, duration, 160 floats       808
//   metaball     nothing per key                                                0
#include <cstdint>
#include <istream>
#include <ostream>

#include "model/Keys.h"

namespace mv::format {

void WriteMeshParams(std::ostream& out, const MeshParams& p);
bool ReadMeshParams(std::istream& in, MeshParams& p);

void WriteCameraKey(std::ostream& out, const CameraKey& k);
void WriteLayerTextKey(std::ostream& out, const LayerTextKey& k);
void WriteLightKey(std::ostream& out, const LightKey& k);
void WriteMeshKey(std::ostream& out, const MeshKey& k);
void WriteSkyBoxKey(std::ostream& out, const MetaBallKey& k);
void WritePostProcessKey(std::ostream& out, const PostProcessKey& k);

// Each returns false when the stream could not supply the whole key.
bool ReadCameraKey(std::istream& in, CameraKey& k);
bool ReadLayerTextKey(std::istream& in, LayerTextKey& k);
bool ReadLightKey(std::istream& in, LightKey& k);
bool ReadMeshKey(std::istream& in, MeshKey& k);
bool ReadSkyBoxKey(std::istream& in, MetaBallKey& k);
bool ReadPostProcessKey(std::istream& in, PostProcessKey& k);

void WriteKeyCount(std::ostream& out, std::int32_t n);
// Reads the count; false when the stream failed (n is then 0).
bool ReadKeyCount(std::istream& in, std::int32_t& n);

}  // namespace mv::format
