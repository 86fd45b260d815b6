// A 3D text object's whole slide record: the record header written by the
// scene format, then the mesh timeline written by the object.
#include <gtest/gtest.h>

#include <sstream>

#include "model/TimeLine.h"
#include "io/Utf16.h"
#include "scene/SceneFormat.h"
#include "model/SceneObjects.h"

TEST(ObjectRecord, TextObjectIs652BytesThenItsMeshTimeline) {
  auto o = CreateSceneObject(OBJ_TEXT);
  auto* mesh = static_cast<CMesh*>(o.get());
  mesh->catalogIndex = 3;
  o->parent = 5;
  mv::io::CopyToFixed(mesh->text, kNameLength, u"Hi");
  mv::io::CopyToFixed(mesh->font, kFontLength, u"Mono");
  TimeLine* t = o->CreateTimeLine();
  mesh->params.iPos[2] = 1.0f;
  t->InsertKey(0, 25);
  t->InsertKey(1, 50);

  std::ostringstream out(std::ios::binary);
  mv::scene::WriteSceneRecordHeader(out, mv::scene::RecordHeaderOf(*o));
  ASSERT_EQ(out.str().size(), 652u);
  ASSERT_TRUE(o->WriteTimeLine(out));
  const std::string bytes = out.str();
  ASSERT_EQ(bytes.size(), 652u + 4 + 2 * kMeshKeyBytes);
  EXPECT_EQ(bytes.substr(0, 12), std::string("\x04\0\0\0\x05\0\0\0\x03\0\0\0", 12));
  EXPECT_EQ(bytes.substr(12, 6), std::string("H\0i\0\0\0", 6));
  EXPECT_EQ(bytes.substr(12 + 520, 10), std::string("M\0o\0n\0o\0\0\0", 10));
  EXPECT_EQ(bytes.substr(652, 4), std::string("\x02\0\0\0", 4));

  std::istringstream in(bytes, std::ios::binary);
  mv::scene::SceneRecordHeader header;
  ASSERT_EQ(mv::scene::ReadSceneRecordHeader(in, header), mv::scene::RecordStatus::Ok);
  auto back = CreateSceneObject(header.kind);
  ASSERT_TRUE(back->ReadTimeLine(in));
  EXPECT_EQ(in.peek(), std::char_traits<char>::eof());
  ASSERT_EQ(back->timeLine->GetKeyCount(), 2);
  EXPECT_EQ(back->timeLine->GetKeyTime(1), 50);
  back->timeLine->GoToKey(1);
  EXPECT_EQ(static_cast<CMesh*>(back.get())->params.iPos[2], 1.0f);
}
