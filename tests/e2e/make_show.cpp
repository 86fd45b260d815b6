// Writes a show into the folder given: "media\sequence.mv" and N slides
// whose four fixed objects each hold one key of F frames, saved through the
// managers' own Write, with the player's effects (fx/) beside it. Used by
// the end-to-end scripts.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "model/TimeLine.h"
#include "app/App.h"
#include "core/Globals.h"
#include "io/BinaryIO.h"
#include "io/Utf16.h"
#include "scene/SceneManager.h"
#include "sequence/SequenceManager.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: mv_make_show FOLDER SLIDES FRAMES\n");
    return 2;
  }
  std::filesystem::create_directories(std::filesystem::path(argv[1]) / "media");
  // The player does not start without its effects beside the show.
  std::error_code ec;
  std::filesystem::copy(std::filesystem::path(MV_SOURCE_DIR) / "fx", std::filesystem::path(argv[1]) / "fx",
                        std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing,
                        ec);
  if (ec) {
    std::fprintf(stderr, "could not copy the effects: %s\n", ec.message().c_str());
    return 1;
  }
  std::filesystem::current_path(argv[1]);
  const int slides = std::atoi(argv[2]);
  const int frames = std::atoi(argv[3]);

  for (int i = 0; i < g_SceneManager.GetObjectCount(); ++i) {
    CSceneObject* o = g_SceneManager.GetObject(i);
    TimeLine* t = o->timeLine ? o->timeLine : o->CreateTimeLine();
    if (t && t->GetKeyCount() == 0) t->InsertKey(0, frames);
  }
  for (int s = 0; s < slides; ++s) {
    g_SequenceManager.Insert();
    const SlideRecord& r = g_SequenceManager.Slides().back();
    if (!g_SequenceManager.SaveSlide(mv::io::FixedView(r.path, SlideRecord::kPathUnits))) {
      std::fprintf(stderr, "could not write slide %d\n", s);
      return 1;
    }
  }
  std::ofstream out("media/sequence.mv", std::ios::binary);
  mv::io::WriteI32(out, MV_TYPE_SEQUENCE);
  g_SequenceManager.Write(out);
  return out.good() ? 0 : 1;
}
