// The "Scene Manager" panel: its rows for every kind, the refresh from the
// selected object, and the events that edit it, driven through the dialog's
// message handling where a user would click or type.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/Globals.h"
#include "effects/PostProcessManager.h"
#include "gui/GuiTestUtil.h"
#include "scene/Catalog.h"
#include "scene/SceneManager.h"
#include "scene/ScenePanel.h"
#include "values/ValuesManager.h"

namespace {

struct NullPeers : ScenePeers {
  void SetSkyBoxSize(const float[3]) override {}
  void RefreshAnimationPanel() override {}
  void PrepareMetaballs(CMesh&) override {}
  void CreateParticleSystem(CMesh&) override {}
};

// Stands in for the sky box manager's controls.
struct FakeSkyBoxControls : SceneSkyBoxControls {
  void BuildControls(CDXUTDialog* d) override {
    dialog = d;
    d->AddCheckBox(1124, u"Enable sky(B)ox", 5, 25, 200, 16, true, 'B');
    d->AddButton(1131, u"?", 180, 77, 16, 14);
  }
  void OnControlEvent(UINT event, int id, CDXUTControl*) override { events.emplace_back(event, id); }
  void RefreshControls() override { ++refreshes; }
  CDXUTDialog* dialog = nullptr;
  std::vector<std::pair<UINT, int>> events;
  int refreshes = 0;
};

// Entries: mesh, text, generated, anim, layer text, metaball, particle.
const char* kCatalogText =
    "0,Tore,media\\mesh\\tore.x,MESHOBJ,,0,\n"
    "1,Titre,,TEXTOBJ,Arial,24,\n"
    "2,Secteur,,GENERATEDOBJ,,0,\n"
    "3,Danseur,media\\mesh\\dance.x,ANIMOBJ,,0,\n"
    "4,Calque,,LAYERTEXTOBJ,,0,\n"
    "5,Bulles,,METABALLOBJ,,0,\n"
    "6,Fontaine,,PARTICLEOBJ,,0,\n"
    "#,";

constexpr int kOriginX = 1060;
constexpr int kOriginY = 10 + 18;  // below the caption bar

class ScenePanelTest : public guitest::GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    wasHidden = g_bGuiHidden;
    g_bGuiHidden = false;
    std::istringstream in(kCatalogText);
    catalog.Load(in);
    scene.SetCatalog(&catalog);
    values.BuildPanel(nullptr);
    scene.SetPanelHosts(&post, &sky, &values);
    scene.CreatePanel(&manager);
  }
  void TearDown() override {
    g_bGuiHidden = wasHidden;
    GuiTest::TearDown();
  }

  CDXUTDialog& Panel() { return scene.Panel(); }
  // What Render does before drawing: rebuild for a new kind, then refresh.
  void Show() {
    scene.RefreshPanel();
    if (scene.GetSelectedKind() != scene.GetPanelKind()) scene.BuildPanel(scene.GetSelectedKind());
    scene.RefreshPanel();
  }
  void Select(int index) {
    scene.SetSelectedIndex(index);
    Show();
  }
  int AddObject(std::int32_t kind, std::int32_t entry) {
    scene.SetSelectedIndex(scene.GetObjectCount() - 1);
    scene.InsertObject(kind, -1, entry, nullptr, nullptr, -1);
    return scene.GetSelectedIndex();
  }
  void ClickControl(int id) {
    CDXUTControl* c = Panel().GetControl(id);
    ASSERT_NE(c, nullptr) << id;
    guitest::Click(Panel(), kOriginX + c->m_x + c->GetWidth() / 2, kOriginY + c->m_y + c->GetHeight() / 2);
  }
  void TypeInto(int id, std::u16string_view text) {
    ClickControl(id);
    ASSERT_TRUE(Panel().GetEditBox(id)->HasFocus()) << id;
    guitest::Char(Panel(), 0x01);  // select all, so typing replaces it
    for (char16_t c : text) {
      guitest::Char(Panel(), c);
      Show();  // as Render would between keystrokes
    }
  }
  std::vector<int> Ids() {
    std::vector<int> ids;
    for (int i = 0; i < Panel().GetNumControls(); ++i) ids.push_back(Panel().GetControlByIndex(i)->GetID());
    return ids;
  }
  std::u16string Text(int id) {
    if (CDXUTEditBox* e = Panel().GetEditBox(id)) return e->GetTextString();
    auto* s = dynamic_cast<CDXUTStatic*>(Panel().GetControl(id));
    return s ? s->GetTextString() : u"<none>";
  }
  CMesh& Mesh(int index) { return *dynamic_cast<CMesh*>(scene.GetObject(index)); }

  bool wasHidden = true;
  Catalog catalog;
  NullPeers peers;
  SceneManager scene{peers};
  PostProcessManager post;
  FakeSkyBoxControls sky;
  ValuesManager values;
};

TEST_F(ScenePanelTest, StartUpBuildsTheDialogForKindZeroAndKeepsItsPreferences) {
  CDXUTDialog& d = Panel();
  EXPECT_EQ(scene.GetPanel(), &d);
  EXPECT_EQ(d.GetCaptionText(), u"Scene Manager");
  EXPECT_TRUE(d.HasCaption());
  EXPECT_EQ(d.GetX(), 1060);
  EXPECT_EQ(d.GetY(), 10);
  EXPECT_EQ(d.GetWidth(), 280);
  EXPECT_EQ(d.GetHeight(), 470);
  for (int corner = 0; corner < 4; ++corner) EXPECT_EQ(d.GetBackgroundColor(corner), 0x64C8E6FFu);
  ASSERT_NE(d.GetTexture(1), nullptr);
  EXPECT_EQ(*d.GetTexture(1), u"media\\GUI\\Widget2.dds");
  EXPECT_EQ(scene.GetPanelKind(), 0);
  EXPECT_EQ(Ids(), (std::vector<int>{450, 452, 451, 453, 454}));

  struct C {
    int id;
    const char16_t* text;
    int x, w;
  };
  const C header[] = {{450, u"<", 10, 30}, {452, u"---", 40, 30}, {451, u">", 70, 30},
                      {453, u"Insert", 100, 50}, {454, u"Remove", 150, 50}};
  for (const C& c : header) {
    CDXUTControl* control = d.GetControl(c.id);
    EXPECT_EQ(control->m_x, c.x) << c.id;
    EXPECT_EQ(control->m_y, 5) << c.id;
    EXPECT_EQ(control->GetWidth(), c.w) << c.id;
    EXPECT_EQ(control->GetHeight(), 20) << c.id;
    EXPECT_EQ(Text(c.id), c.text) << c.id;
  }

  // A rebuild for another kind leaves the dialog where the user put it.
  d.SetLocation(300, 400);
  scene.BuildPanel(OBJ_CAMERA);
  EXPECT_EQ(d.GetX(), 300);
  EXPECT_EQ(d.GetY(), 400);
}

TEST_F(ScenePanelTest, PanelPreferencesSurviveASlideWriteAndRead) {
  Panel().SetLocation(-40, 700);
  Panel().SetMinimized(true);
  std::stringstream file;
  scene.Write(file);
  EXPECT_EQ(file.str().substr(0, 9), std::string("\xD8\xFF\xFF\xFF\xBC\x02\0\0\x01", 9));

  NullPeers otherPeers;
  SceneManager other{otherPeers};
  other.SetCatalog(&catalog);
  other.CreatePanel(nullptr);
  ASSERT_FALSE(other.Panel().GetMinimized());
  other.Read(file);
  EXPECT_TRUE(static_cast<bool>(file));
  EXPECT_EQ(other.Panel().GetX(), -40);
  EXPECT_EQ(other.Panel().GetY(), 700);
  EXPECT_TRUE(other.Panel().GetMinimized());
  EXPECT_EQ(other.GetObjectCount(), 4);
}

struct KindRows {
  const char* what;
  std::int32_t kind;
  std::int32_t entry;  // catalog entry for mesh kinds
  std::vector<int> ids;
};

std::vector<int> Header() { return {450, 452, 451, 453, 454}; }
std::vector<int> Join(std::initializer_list<std::vector<int>> parts) {
  std::vector<int> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
const std::vector<int> kLookRows = {25, 428, 427, 429, 430, 478, 431, 432, 479, 474, 475, 511, 512, 513};
const std::vector<int> kMeshRows = {437, 439, 486, 487, 488, 438, 440, 489, 490, 491, 456, 455, 492, 493, 494,
                                    447, 445, 495, 496, 497, 446, 444, 498, 499, 500, 501, 466, 464, 502,
                                    467, 465, 503};

TEST_F(ScenePanelTest, EachKindGetsItsRowsInOrder) {
  const KindRows cases[] = {
      {"mesh", OBJ_MESH, 0, Join({Header(), {5, 510}, kLookRows, kMeshRows})},
      {"3D text", OBJ_TEXT, 1, Join({Header(), {5, 510, 458, 459}, kLookRows, kMeshRows})},
      {"generated", OBJ_GENERATED, 2, Join({Header(), {5, 510}, kLookRows, kMeshRows})},
      {"animated", OBJ_ANIM, 3, Join({Header(), {5, 510}, kLookRows, kMeshRows, {468, 469, 470, 471, 472, 473}})},
      {"particles", OBJ_PARTICLE, 6, Join({Header(), {5, 510}, kMeshRows})},
      {"metaballs", OBJ_METABALL, 5, Join({Header(), {5, 510, 520, 522}})},
      {"layer text", OBJ_LAYERTEXT, -1, Join({Header(), {457, 520, 522, 523, 524, 525}})},
      {"light", OBJ_LIGHT, -1, Join({Header(), {457, 510, 460, 462, 480, 481, 482, 461, 463, 483}})},
      {"camera", OBJ_CAMERA, -1, Join({Header(), {457, 510, 435, 433, 504, 505, 506, 436, 434, 507, 508, 509}})},
      {"sky box", OBJ_SKYBOX, -1, Join({Header(), {1124, 1131}})},
      {"post-process", OBJ_POSTPROCESS, -1,
       Join({Header(), {17, 8, 6, 9, 7, 14, 15, 16, 10, 12, 11, 13, 18, 19, 20, 21, 22}})},
  };
  for (const KindRows& c : cases) {
    scene.BuildPanel(c.kind);
    EXPECT_EQ(Ids(), c.ids) << c.what;
    EXPECT_EQ(scene.GetPanelKind(), c.kind) << c.what;
    EXPECT_EQ(scene.IsLightWidgetActive(), c.kind == OBJ_LIGHT) << c.what;
  }
  EXPECT_EQ(sky.dialog, &Panel());
  EXPECT_EQ(post.GetControlsDialog(), &Panel());
}

struct Placed {
  int id;
  UINT type;
  const char16_t* text;  // null: not checked
  int x, y, w, h;
};

void ExpectPlaced(CDXUTDialog& d, const std::vector<Placed>& controls, const char* what) {
  for (const Placed& c : controls) {
    CDXUTControl* control = d.GetControl(c.id, c.type);
    ASSERT_NE(control, nullptr) << what << " " << c.id;
    EXPECT_EQ(control->m_x, c.x) << what << " " << c.id;
    EXPECT_EQ(control->m_y, c.y) << what << " " << c.id;
    EXPECT_EQ(control->GetWidth(), c.w) << what << " " << c.id;
    EXPECT_EQ(control->GetHeight(), c.h) << what << " " << c.id;
    if (c.text) EXPECT_EQ(static_cast<CDXUTStatic*>(control)->GetTextString(), c.text) << what << " " << c.id;
  }
}

constexpr UINT B = DXUT_CONTROL_BUTTON, S = DXUT_CONTROL_STATIC, E = DXUT_CONTROL_EDITBOX, CB = DXUT_CONTROL_COMBOBOX;

TEST_F(ScenePanelTest, MeshRowsArePlacedTwentyFivePixelsApart) {
  scene.BuildPanel(OBJ_MESH);
  ExpectPlaced(Panel(),
               {{5, CB, nullptr, 5, 30, 210, 16},          {510, CB, nullptr, 5, 55, 210, 16},
                {25, CB, nullptr, 5, 80, 210, 16},         {428, CB, nullptr, 5, 105, 210, 16},
                {427, CB, nullptr, 5, 130, 210, 16},       {429, S, u"Power:", 0, 155, 110, 16},
                {430, E, nullptr, 110, 155, 100, 20},      {478, B, u"?", 220, 157, 16, 14},
                {431, S, u"Reflectivity:", 0, 180, 110, 16}, {432, E, nullptr, 110, 180, 100, 20},
                {479, B, u"?", 220, 182, 16, 14},          {474, S, u"Flex", 0, 205, 30, 16},
                {475, E, nullptr, 35, 205, 170, 20},       {511, B, u"?", 210, 207, 16, 14},
                {512, B, u"?", 230, 207, 16, 14},          {513, B, u"?", 250, 207, 16, 14},
                {437, S, u"iPos:", 0, 230, 50, 16},        {439, E, nullptr, 55, 230, 120, 20},
                {486, B, u"?", 180, 232, 16, 14},          {488, B, u"?", 220, 232, 16, 14},
                {438, S, u"iRot:", 0, 255, 50, 16},        {440, E, nullptr, 55, 255, 120, 20},
                {456, S, u"iScale:", 0, 280, 50, 16},      {455, E, nullptr, 55, 280, 120, 20},
                {447, S, u"vSpec:", 0, 305, 50, 16},       {445, E, nullptr, 55, 305, 120, 20},
                {446, S, u"vDiff:", 0, 330, 50, 16},       {444, E, nullptr, 55, 330, 120, 20},
                {501, B, u"?", 240, 332, 16, 14},          {466, S, u"start face:", 0, 355, 80, 16},
                {464, E, nullptr, 85, 355, 80, 20},        {502, B, u"?", 180, 357, 16, 14},
                {467, S, u"end face:", 0, 380, 80, 16},    {465, E, nullptr, 85, 380, 80, 20},
                {503, B, u"?", 180, 382, 16, 14}},
               "mesh");
  EXPECT_EQ(Panel().GetComboBox(5)->GetDropHeight(), 20);
  EXPECT_EQ(Panel().GetComboBox(5)->GetHotkey(), UINT('M'));
  EXPECT_EQ(Panel().GetComboBox(510)->GetHotkey(), UINT('P'));
  EXPECT_EQ(Panel().GetComboBox(25)->GetHotkey(), UINT('S'));
  EXPECT_EQ(Panel().GetEditBox(439)->GetBorderWidth(), 1);
  EXPECT_EQ(Panel().GetEditBox(439)->GetSpacing(), 2);

  struct Items {
    int id;
    std::vector<std::pair<std::u16string, int>> items;
  };
  const Items combos[] = {
      {25,
       {{u"Complex renderer", 0}, {u"Env.Map renderer", 1}, {u"Env.Map Front Textured", 2},
        {u"Env.Map Transparence", 3}, {u"Fast Rendere", 4}, {u"Fast Rendere No Trans", 5}}},
      {428, {{u"Render (M)ode : Point", 1}, {u"Render (M)ode : Wireframe", 2}, {u"Render (M)ode : Solid", 3}}},
      {427, {{u"(S)hade Mode : FLAT", 1}, {u"(S)hade Mode : GOURAUD", 2}, {u"(S)hade Mode : PHONG", 3}}},
      {5, {{u"Tore", 0}, {u"Titre", 1}, {u"Secteur", 2}, {u"Danseur", 3}, {u"Calque", 4}, {u"Bulles", 5},
           {u"Fontaine", 6}}},
      {510,
       {{u"Parent Object : None", -1}, {u"Parent Object : 00", 0}, {u"Parent Object : 01", 1},
        {u"Parent Object : 02", 2}, {u"Parent Object : 03", 3}}},
  };
  for (const Items& c : combos) {
    CDXUTComboBox* combo = Panel().GetComboBox(c.id);
    ASSERT_EQ(combo->GetNumItems(), c.items.size()) << c.id;
    for (UINT i = 0; i < combo->GetNumItems(); ++i) {
      EXPECT_EQ(combo->GetItem(i)->strText, c.items[i].first) << c.id;
      EXPECT_EQ(gui::FromData(combo->GetItem(i)->pData), c.items[i].second) << c.id;
    }
  }
}

TEST_F(ScenePanelTest, OtherKindsPlaceTheirRows) {
  struct Case {
    const char* what;
    std::int32_t kind;
    std::vector<Placed> controls;
  };
  const Case cases[] = {
      {"light",
       OBJ_LIGHT,
       {{457, S, u"Light", 5, 30, 210, 16},     {510, CB, nullptr, 5, 55, 210, 16},
        {460, S, u"iPos:", 0, 80, 50, 16},      {462, E, nullptr, 55, 80, 120, 20},
        {482, B, u"?", 220, 82, 16, 14},        {461, S, u"iRadius:", 0, 105, 50, 16},
        {463, E, nullptr, 55, 105, 120, 20},    {483, B, u"?", 180, 107, 16, 14}}},
      {"camera",
       OBJ_CAMERA,
       {{457, S, u"Camera", 5, 30, 210, 16},    {435, S, u"Eye:", 0, 80, 50, 16},
        {433, E, nullptr, 55, 80, 120, 20},     {504, B, u"?", 180, 82, 16, 14},
        {436, S, u"LookAt:", 0, 105, 50, 16},   {434, E, nullptr, 55, 105, 120, 20},
        {509, B, u"?", 220, 107, 16, 14}}},
      {"layer text",
       OBJ_LAYERTEXT,
       {{457, S, u"Layer Text", 5, 30, 210, 16}, {520, S, u"Pos:", 0, 55, 50, 16},
        {522, E, nullptr, 55, 55, 120, 20},      {525, B, u"?", 220, 57, 16, 14}}},
      {"metaballs", OBJ_METABALL, {{520, S, u"Pos:", 0, 80, 50, 16}, {522, E, nullptr, 55, 80, 120, 20}}},
      {"3D text",
       OBJ_TEXT,
       {{458, E, nullptr, 10, 80, 200, 20},    {459, CB, nullptr, 5, 105, 210, 16},
        {25, CB, nullptr, 5, 130, 210, 16},     {466, S, u"start face:", 0, 405, 80, 16},
        {467, S, u"end face:", 0, 430, 80, 16}}},
      {"generated", OBJ_GENERATED, {{466, S, u"start sect:", 0, 355, 80, 16}, {467, S, u"end sect:", 0, 380, 80, 16}}},
      {"particles", OBJ_PARTICLE, {{437, S, u"iPos:", 0, 80, 50, 16}, {467, S, u"end face:", 0, 230, 80, 16}}},
      {"animated",
       OBJ_ANIM,
       {{468, S, u"Animation Set:", 0, 405, 90, 16},   {469, E, nullptr, 95, 405, 50, 20},
        {470, S, u"Animation Speed:", 0, 430, 90, 16}, {471, E, nullptr, 95, 430, 50, 20},
        {472, S, u"Animation Type:", 0, 455, 90, 16},  {473, CB, nullptr, 95, 455, 120, 16}}},
  };
  for (const Case& c : cases) {
    scene.BuildPanel(c.kind);
    ExpectPlaced(Panel(), c.controls, c.what);
  }
  scene.BuildPanel(OBJ_TEXT);
  EXPECT_EQ(Text(458), u"Insert Text");
  EXPECT_EQ(Panel().GetComboBox(459)->GetNumItems(), scene.GetFontList().size());
  scene.BuildPanel(OBJ_ANIM);
  CDXUTComboBox* types = Panel().GetComboBox(473);
  const char16_t* names[] = {u"Stop", u"Single", u"Loop Forward", u"Loop Backward", u"Ping-Pong"};
  ASSERT_EQ(types->GetNumItems(), 5u);
  for (UINT i = 0; i < 5; ++i) {
    EXPECT_EQ(types->GetItem(i)->strText, names[i]);
    EXPECT_EQ(gui::FromData(types->GetItem(i)->pData), static_cast<std::intptr_t>(i));
  }
}

TEST_F(ScenePanelTest, SelectingObjectsRebuildsForTheirKind) {
  Select(1);
  EXPECT_EQ(scene.GetPanelKind(), OBJ_CAMERA);
  EXPECT_EQ(Text(457), u"Camera");
  EXPECT_EQ(Text(452), u"  1/  4");
  EXPECT_EQ(Text(433), u"0.000 0.000 2.000");
  EXPECT_EQ(Text(434), u"0.000 0.000 1.000");
  EXPECT_FALSE(scene.IsLightWidgetActive());

  Select(0);
  EXPECT_EQ(Text(457), u"Light");
  EXPECT_EQ(Text(460), u"iPos:");
  EXPECT_EQ(Text(461), u"iRadius:");
  EXPECT_TRUE(scene.IsLightWidgetActive());

  // ">" through the dialog.
  ClickControl(451);
  Show();
  EXPECT_EQ(scene.GetSelectedIndex(), 1);
  EXPECT_EQ(scene.GetPanelKind(), OBJ_CAMERA);
  EXPECT_FALSE(scene.IsLightWidgetActive());
  ClickControl(450);
  ClickControl(450);
  Show();
  EXPECT_EQ(scene.GetSelectedIndex(), 3);
  EXPECT_EQ(scene.GetPanelKind(), OBJ_POSTPROCESS);
}

TEST_F(ScenePanelTest, NothingIsRefreshedWhileTheGuiIsHidden) {
  Select(1);
  g_bGuiHidden = true;
  scene.SetSelectedIndex(0);
  scene.RefreshPanel();
  EXPECT_EQ(scene.GetSelectedKind(), OBJ_CAMERA);
  EXPECT_EQ(Text(452), u"  1/  4");
}

TEST_F(ScenePanelTest, MeshValuesAreShownInTheirFormats) {
  const int i = AddObject(OBJ_MESH, 0);
  MeshParams& p = Mesh(i).params;
  p.iPos[0] = 1.5f, p.iPos[1] = -2.0f, p.iPos[2] = 0.25f;
  p.iRot[2] = 3.14159f;
  p.iScale[0] = 2.0f;
  p.vSpec[0] = 0.5f;
  p.vDiff[3] = 0.75f;
  p.Power = 12.5f;
  p.Reflectivity = 40.0f;
  p.DeformC = 3.0f;
  p.Delta[2] = -1.5f;
  p.start = 3;
  p.end = 1234;
  p.fillMode = FILL_WIREFRAME;
  p.shadeMode = SHADE_FLAT;
  p.renderer = 4;
  p.iPosLinks[1] = 7;
  p.iPosLinks[2] = 10;
  p.vDiffLinks[3] = 9;
  p.flexLinks[0] = 1;
  Mesh(i).parent = 2;
  Select(i);
  struct T {
    int id;
    const char16_t* text;
  };
  const T texts[] = {{452, u"  4/  5"},
                     {439, u"1.50 -2.00 0.25"},
                     {440, u"0.00 0.00 3.14"},
                     {455, u"2.000 1.000 1.000"},
                     {445, u"0.50 0.10 0.10"},
                     {444, u"1.00 1.00 1.00 0.75"},
                     {429, u"Power : "},
                     {431, u"Reflectivity : "},
                     {430, u"12.500"},
                     {432, u"40.000"},
                     {475, u"50.00 50.00 3.00 0.00 0.00 -1.50"},
                     {464, u"       3"},
                     {465, u"    1234"},
                     {486, u"--"},
                     {487, u"07"},
                     {488, u"!"},
                     {501, u"09"},
                     {511, u"01"},
                     {512, u"--"}};
  for (const T& t : texts) EXPECT_EQ(Text(t.id), t.text) << t.id;
  EXPECT_EQ(Panel().GetComboBox(428)->GetSelectedIndex(), 1);
  EXPECT_EQ(Panel().GetComboBox(427)->GetSelectedIndex(), 0);
  EXPECT_EQ(Panel().GetComboBox(25)->GetSelectedIndex(), 4);
  EXPECT_EQ(Panel().GetComboBox(5)->GetSelectedIndex(), 0);
  EXPECT_EQ(gui::FromData(Panel().GetComboBox(510)->GetSelectedData()), 2);
}

TEST_F(ScenePanelTest, TypingIntoTheEditBoxesSetsTheObject) {
  const int i = AddObject(OBJ_MESH, 0);
  Select(i);
  TypeInto(439, u"1 2");
  EXPECT_EQ(Mesh(i).params.iPos[0], 1.0f);
  EXPECT_EQ(Mesh(i).params.iPos[1], 2.0f);
  EXPECT_EQ(Mesh(i).params.iPos[2], 0.0f);
  // The box keeps the typing while it has the focus; afterwards it shows
  // the value in its format.
  EXPECT_EQ(Text(439), u"1 2");
  CDXUTDialog::ClearFocus();
  Show();
  EXPECT_EQ(Text(439), u"1.00 2.00 0.00");

  struct Case {
    int id;
    const char16_t* text;
  };
  const Case cases[] = {{440, u"0.5 -1 2"}, {455, u"3"}, {444, u"0.1 0.2 0.3 0.4"}, {430, u"75"},
                        {432, u"-12.5"},    {464, u"-7.9"}, {465, u"42.6"},     {475, u"1 2 3 4 5 6"}};
  for (const Case& c : cases) TypeInto(c.id, c.text);
  const MeshParams& p = Mesh(i).params;
  EXPECT_EQ(p.iRot[0], 0.5f);
  EXPECT_EQ(p.iRot[1], -1.0f);
  EXPECT_EQ(p.iRot[2], 2.0f);
  EXPECT_EQ(p.iScale[0], 3.0f);
  EXPECT_EQ(p.iScale[1], 0.0f);  // a missing number reads as 0
  EXPECT_EQ(p.vDiff[3], 0.4f);
  EXPECT_EQ(p.Power, 75.0f);
  EXPECT_EQ(p.Reflectivity, -12.5f);
  EXPECT_EQ(p.start, -7);  // truncated toward zero
  EXPECT_EQ(p.end, 42);
  EXPECT_EQ(p.DeformA, 1.0f);
  EXPECT_EQ(p.DeformB, 2.0f);
  EXPECT_EQ(p.DeformC, 3.0f);
  EXPECT_EQ(p.Delta[0], 4.0f);
  EXPECT_EQ(p.Delta[2], 6.0f);
}

TEST_F(ScenePanelTest, SpecularAlphaChangesOnlyWithAFourthNumber) {
  const int i = AddObject(OBJ_MESH, 0);
  Select(i);
  TypeInto(445, u"0.2 0.3 0.4");
  EXPECT_EQ(Mesh(i).params.vSpec[0], 0.2f);
  EXPECT_EQ(Mesh(i).params.vSpec[2], 0.4f);
  EXPECT_EQ(Mesh(i).params.vSpec[3], 0.1f);
  TypeInto(445, u"0.2 0.3 0.4 0.9");
  EXPECT_EQ(Mesh(i).params.vSpec[3], 0.9f);
}

TEST_F(ScenePanelTest, CameraLightAndLayerTextEdits) {
  Select(1);
  TypeInto(433, u"1 2 3");
  TypeInto(434, u"0 0 -4");
  const auto* cam = scene.GetCameraObject();
  EXPECT_EQ(cam->Eye[2], 3.0f);
  EXPECT_EQ(cam->LookAt[2], -4.0f);
  EXPECT_EQ(scene.GetCamera()->GetEyePt(), gfx::Vec3(1, 2, 3));
  EXPECT_EQ(scene.GetCamera()->GetLookAtPt(), gfx::Vec3(0, 0, -4));

  Select(0);
  TypeInto(462, u"0.5 -0.5 1");
  TypeInto(463, u"2.5");
  const auto* light = scene.GetLight();
  EXPECT_EQ(light->position[1], -0.5f);
  EXPECT_EQ(light->radius, 2.5f);
  EXPECT_EQ(scene.GetLightWidget().GetLightDirection(), gfx::Vec3(0.5f, -0.5f, 1.0f));
  EXPECT_EQ(scene.GetLightWidget().GetDefaultDirection(), gfx::Vec3(0.5f, -0.5f, 1.0f));
  EXPECT_EQ(scene.GetLightWidget().GetRadius(), 2.5f);
  CDXUTDialog::ClearFocus();
  Show();
  EXPECT_EQ(Text(462), u"0.50 -0.50 1.00");
  EXPECT_EQ(Text(463), u"2.50");

  scene.SetSelectedIndex(3);
  scene.InsertObject(OBJ_LAYERTEXT, -1, -1, nullptr, nullptr, -1);
  const int t = scene.GetSelectedIndex();
  Show();
  EXPECT_EQ(Text(522), u"0.000 0.000 2.000");
  TypeInto(522, u"640 360");
  const auto* layer = dynamic_cast<CLayerTextObject*>(scene.GetObject(t));
  EXPECT_EQ(layer->Pos[0], 640.0f);
  EXPECT_EQ(layer->Pos[1], 360.0f);
  EXPECT_EQ(layer->Pos[2], 0.0f);
}

TEST_F(ScenePanelTest, CombosSetTheirFields) {
  const int i = AddObject(OBJ_ANIM, 3);
  Select(i);
  struct Case {
    int id;
    int data;
  };
  for (const Case& c : {Case{25, 3}, Case{428, 1}, Case{427, 2}, Case{473, 4}, Case{510, 1}}) {
    CDXUTComboBox* combo = Panel().GetComboBox(c.id);
    ASSERT_EQ(combo->SetSelectedByData(gui::ToData(c.data)), gui::S_OK) << c.id;
    scene.OnPanelEvent(EVENT_COMBOBOX_SELECTION_CHANGED, c.id, combo);
  }
  const CMesh& m = Mesh(i);
  EXPECT_EQ(m.params.renderer, 3);
  EXPECT_EQ(m.params.fillMode, 1);
  EXPECT_EQ(m.params.shadeMode, 2);
  EXPECT_EQ(m.params.animationType, 4);
  EXPECT_EQ(m.parent, 1);
  EXPECT_TRUE(scene.IsPanelDirty());

  // The hotkey steps the renderer combo to the next item.
  guitest::KeyDown(Panel(), 'S');
  EXPECT_EQ(Mesh(i).params.renderer, 4);
  TypeInto(469, u"2");
  TypeInto(471, u"1.5");
  EXPECT_EQ(Mesh(i).params.animationSet, 2);
  EXPECT_EQ(Mesh(i).params.animationSpeed, 1.5f);
  CDXUTDialog::ClearFocus();
  Show();
  EXPECT_EQ(Text(469), u"2");
  EXPECT_EQ(Text(471), u"1.50");
  EXPECT_EQ(Panel().GetComboBox(473)->GetSelectedIndex(), 4);
}

TEST_F(ScenePanelTest, LinkButtonsTakeTheValuesPanelScript) {
  const int i = AddObject(OBJ_MESH, 0);
  Select(i);
  CDXUTComboBox* selector = values.GetDialog().GetComboBox(IDC_VALUES_SELECTOR);
  ASSERT_NE(selector, nullptr);
  selector->AddItem(u"Script-012", gui::ToData(12));
  ASSERT_EQ(selector->SetSelectedByData(gui::ToData(12)), gui::S_OK);
  ClickControl(486);
  EXPECT_EQ(Mesh(i).params.iPosLinks[0], 12);
  Show();
  EXPECT_EQ(Text(486), u"!");

  struct Case {
    int button;
    int script;
    const char16_t* caption;
  };
  for (const Case& c : {Case{501, 3, u"03"}, Case{478, 9, u"09"}, Case{513, 0, u"--"}, Case{503, 1, u"01"}}) {
    selector->SetSelectedByData(gui::ToData(c.script));
    ClickControl(c.button);
    Show();
    EXPECT_EQ(Text(c.button), c.caption) << c.button;
  }
  EXPECT_EQ(Mesh(i).params.vDiffLinks[3], 3);
  EXPECT_EQ(Mesh(i).params.PowerLink, 9);
  EXPECT_EQ(Mesh(i).params.flexLinks[2], 0);
  EXPECT_EQ(Mesh(i).params.endLink, 1);

  Select(0);
  selector->SetSelectedByData(gui::ToData(5));
  ClickControl(483);
  ClickControl(481);
  Show();
  EXPECT_EQ(scene.GetLight()->radiusLink, 5);
  EXPECT_EQ(scene.GetLight()->positionLinks[1], 5);
  EXPECT_EQ(Text(483), u"05");
  Select(1);
  ClickControl(508);
  EXPECT_EQ(scene.GetCameraObject()->lookAtLinks[1], 5);
}

TEST_F(ScenePanelTest, InsertTakesTheChosenEntryAndRemoveTakesItAway) {
  Select(3);
  ClickControl(453);  // nothing chosen yet: entry 0
  Show();
  ASSERT_EQ(scene.GetObjectCount(), 5);
  EXPECT_EQ(scene.GetSelectedIndex(), 4);
  EXPECT_EQ(Mesh(4).kind, OBJ_MESH);
  EXPECT_EQ(Mesh(4).catalogIndex, 0);
  EXPECT_EQ(Text(452), u"  4/  5");
  EXPECT_EQ(scene.GetPanelKind(), OBJ_MESH);

  // Choosing "Danseur" in the object combo makes this object that entry
  // and is remembered for the next insertion.
  CDXUTComboBox* objects = Panel().GetComboBox(5);
  objects->SetSelectedByData(gui::ToData(3));
  scene.OnPanelEvent(EVENT_COMBOBOX_SELECTION_CHANGED, 5, objects);
  EXPECT_EQ(Mesh(4).kind, OBJ_ANIM);
  EXPECT_EQ(Mesh(4).catalogIndex, 3);
  EXPECT_EQ(scene.GetSelectedKind(), OBJ_ANIM);
  Show();
  EXPECT_EQ(scene.GetPanelKind(), OBJ_ANIM);
  ClickControl(453);
  Show();
  ASSERT_EQ(scene.GetObjectCount(), 6);
  EXPECT_EQ(scene.GetSelectedIndex(), 5);
  EXPECT_EQ(Mesh(5).catalogIndex, 3);

  ClickControl(454);
  Show();
  EXPECT_EQ(scene.GetObjectCount(), 5);
  EXPECT_EQ(scene.GetSelectedIndex(), 0);
  EXPECT_EQ(scene.GetPanelKind(), OBJ_LIGHT);
  ClickControl(454);  // the light stays
  EXPECT_EQ(scene.GetObjectCount(), 5);
}

TEST_F(ScenePanelTest, AFontChoiceRebuildsTheTextOfItsOwnEntry) {
  if (scene.GetFontList().empty()) GTEST_SKIP() << "no font families on this system";
  const int i = AddObject(OBJ_TEXT, 1);
  scene.SetLastCatalogChoice(0);  // chosen for another object
  Select(i);
  CDXUTEditBox* text = Panel().GetEditBox(458);
  text->SetText(u"Hello");
  CDXUTComboBox* fonts = Panel().GetComboBox(459);
  const UINT last = fonts->GetNumItems() - 1;
  fonts->SetSelectedByIndex(last);
  scene.OnPanelEvent(EVENT_COMBOBOX_SELECTION_CHANGED, 459, fonts);
  EXPECT_EQ(Mesh(i).kind, OBJ_TEXT);
  EXPECT_EQ(Mesh(i).catalogIndex, 1);
  EXPECT_EQ(std::u16string(Mesh(i).text), u"Hello");
  EXPECT_EQ(std::u16string(Mesh(i).font), fonts->GetItem(last)->strText);
  Show();
  EXPECT_EQ(fonts->GetSelectedIndex(), static_cast<int>(last));
  EXPECT_EQ(Text(458), u"Hello");
}

TEST_F(ScenePanelTest, AnEmptyListShowsDashesAndNoControlActs) {
  Select(1);
  scene.RemoveAllObjects();
  scene.RefreshPanel();
  EXPECT_EQ(Text(452), u"---");
  TypeInto(433, u"5 5 5");
  ClickControl(504);
  ClickControl(454);
  EXPECT_EQ(scene.GetObjectCount(), 0);
  ClickControl(453);  // nowhere to insert
  EXPECT_EQ(scene.GetObjectCount(), 0);
}

TEST_F(ScenePanelTest, ThePostProcessObjectHostsTheChainControls) {
  post.GetEffect(0).parameterName = {u"Level", u""};
  post.GetEffect(0).parameterSize = {2, 0};
  Select(3);
  ASSERT_EQ(scene.GetPanelKind(), OBJ_POSTPROCESS);
  CDXUTListBox* available = Panel().GetListBox(6);
  ASSERT_NE(available, nullptr);
  // Double click on the first available effect, then select it in the chain.
  const int x = kOriginX + 40;
  guitest::DoubleClick(Panel(), x, kOriginY + 68 + 6 + 7);
  ASSERT_EQ(post.GetListCount(), 2);
  guitest::Click(Panel(), x, kOriginY + 173 + 6 + 7);
  EXPECT_EQ(Text(10), u"Level");
  TypeInto(12, u"0.5 4");
  auto* object = dynamic_cast<CPostProcessObject*>(scene.GetObject(3));
  EXPECT_EQ(object->params[0], 0.5f);
  EXPECT_EQ(object->params[1], 4.0f);
  EXPECT_EQ(post.GetRecord(0).parameters[0][1], 4.0f);

  // The timeline moves the block; the refresh brings it to the box.
  object->params[0] = 0.25f;
  CDXUTDialog::ClearFocus();
  Show();
  EXPECT_EQ(Text(12), u"0.250 4.000");
  EXPECT_EQ(post.GetListInstance(0)->parameters[0][0], 0.25f);
}

TEST_F(ScenePanelTest, TheSkyBoxObjectHostsTheSkyBoxControls) {
  Select(2);
  ASSERT_EQ(scene.GetPanelKind(), OBJ_SKYBOX);
  EXPECT_GE(sky.refreshes, 1);
  ClickControl(1124);
  ClickControl(1131);
  EXPECT_EQ(sky.events, (std::vector<std::pair<UINT, int>>{{EVENT_CHECKBOX_CHANGED, 1124}, {EVENT_BUTTON_CLICKED, 1131}}));
  EXPECT_TRUE(scene.IsPanelDirty());
}

}  // namespace
