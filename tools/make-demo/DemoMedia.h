#pragma once
// The demo show's media, all made here: meshes as text .x files, textures
// and cube maps as DDS, the particle sprite as TGA, the catalog, the value
// scripts and the sound settings.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "XText.h"
#include "gfx/Image.h"

namespace mv::demo {

// Meshes (faces wound clockwise seen from the side the normals face, as a
// left-handed device culls).
XTextMesh MakeSphere(const std::string& name, float radius, int rings, int segments, bool inward = false);
XTextMesh MakeTorus(const std::string& name, float major, float minor, int rings, int segments);
XTextMesh MakeBox(const std::string& name, float size, int divisions, bool inward = false);
XTextMesh MakeCylinder(const std::string& name, float radius, float height, int rings, int segments,
                       bool inward = false);

// The .x files of the show, by file name (no folder).
XTextFile MakeStaticFile(const XTextMesh& mesh, const std::string& texture);
XTextFile MakeTowerFile();   // a hierarchy of parts, one animation set
XTextFile MakeSnakeFile();   // a skinned tube on three bones, two animation sets

// Textures.
gfx::Image MakeCheckerTexture(int size);
gfx::Image MakeCellTexture(int size);
// One of the five cube maps the sky box table names, by its file stem
// ("stpeters_cross", "galileo_cross", "grace_cross", "rnl_cross",
// "nuclear_cross").
gfx::Image MakeCubeMap(const std::string& stem, int size);
// A soft round spot, white with falling alpha, as RGBA8.
gfx::Image MakeParticleSprite(int size);

// Value scripts: one ignored word, then 10 groups of 4 codes (slot 0's is
// discarded by the reader).
std::vector<std::int32_t> DemoValueScripts();
std::vector<std::uint8_t> ValueFileBytes(const std::vector<std::int32_t>& words);

// The catalog rows, in index order.
struct CatalogRow {
  std::string name;
  std::string file;
  std::string keyword;
  std::string text;
  int number = 0;
};
std::vector<CatalogRow> DemoCatalog();
std::string CatalogText(const std::vector<CatalogRow>& rows);

// Catalog indices of DemoCatalog, for the slides.
enum DemoEntry : std::int32_t {
  kEntryCube = 0,
  kEntryTorus,
  kEntrySphere,
  kEntryTower,
  kEntrySnake,
  kEntryTitle,
  kEntryThanks,
  kEntryGenerated,
  kEntryMetaballs,
  kEntryParticles,
  kEntryLayerText,
  kEntryCount
};

// Writes every file of the media (not the music, not the slides) under
// `root`. False with a message when a file could not be written.
bool WriteDemoMedia(const std::filesystem::path& root, std::string& error);

bool WriteBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes);
bool WriteText(const std::filesystem::path& file, const std::string& text);

}  // namespace mv::demo
