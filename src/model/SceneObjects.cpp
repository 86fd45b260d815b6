#include "model/SceneObjects.h"

#include "model/TimeLine.h"
#include "io/BinaryIO.h"
#include "io/Utf16.h"

CSceneObject::~CSceneObject() { DeleteTimeLine(); }

void CSceneObject::DeleteTimeLine() {
  delete timeLine;
  timeLine = nullptr;
}

bool CSceneObject::WriteTimeLine(std::ostream& out) {
  if (timeLine)
    timeLine->Write(out);
  else
    mv::io::WriteI32(out, 0);
  return mv::io::Good(out);
}

bool CSceneObject::ReadTimeLine(std::istream& in) {
  TimeLine* t = CreateTimeLine();
  t->Read(in);
  return mv::io::Good(in);
}

namespace {
template <class TL, class Owner>
TimeLine* Replace(Owner* owner) {
  owner->DeleteTimeLine();
  owner->timeLine = new TL(owner);
  return owner->timeLine;
}
}  // namespace

TimeLine* CLightObject::CreateTimeLine() { return Replace<TimeLineLight>(this); }
TimeLine* CCameraObject::CreateTimeLine() { return Replace<TimeLineCamera>(this); }
TimeLine* CSkyBoxObject::CreateTimeLine() { return Replace<TimeLineSkyBox>(this); }
TimeLine* CMetaBallObject::CreateTimeLine() { return Replace<TimeLineMetaBall>(this); }
TimeLine* CPostProcessObject::CreateTimeLine() { return Replace<TimeLinePostProcess>(this); }
TimeLine* CMesh::CreateTimeLine() { return Replace<TimeLineMesh>(this); }

CLayerTextObject::CLayerTextObject() {
  mv::io::CopyToFixed(text, kLayerTextLength, kDefaultText);
}
TimeLine* CLayerTextObject::CreateTimeLine() { return Replace<TimeLineLayerText>(this); }

MeshMaterial::MeshMaterial(MeshMaterial&& o) noexcept
    : effect(std::move(o.effect)), technique(o.technique), parameterBlock(o.parameterBlock),
      texture(std::move(o.texture)) {
  o.parameterBlock = gfx::BlockHandle{};
}

MeshMaterial& MeshMaterial::operator=(MeshMaterial&& o) noexcept {
  if (this != &o) {
    if (effect && parameterBlock) effect->DeleteParameterBlock(parameterBlock);
    effect = std::move(o.effect);
    technique = o.technique;
    parameterBlock = o.parameterBlock;
    texture = std::move(o.texture);
    o.parameterBlock = gfx::BlockHandle{};
  }
  return *this;
}

MeshMaterial::~MeshMaterial() {
  if (effect && parameterBlock) effect->DeleteParameterBlock(parameterBlock);
}

CMesh::CMesh() {
  mv::io::CopyToFixed(text, kNameLength, kDefaultText);
  mv::io::CopyToFixed(font, kFontLength, kDefaultFont);
}

CMesh::~CMesh() {
  ReleaseMeshResources();
  DeleteTimeLine();
}

void CMesh::ReleaseMeshResources() {
  // Textures first, then the records with their effect references.
  for (MeshMaterial& m : materials) m.texture.reset();
  materials.clear();
  mesh.reset();
  materialCount = 0;
  animatedMesh.reset();
  partCount = 0;
}

std::unique_ptr<CSceneObject> CreateSceneObject(std::int32_t kind) {
  std::unique_ptr<CSceneObject> o;
  switch (kind) {
    case OBJ_MESH:
    case OBJ_TEXT:
    case OBJ_PARTICLE:
    case OBJ_ANIM:
    case OBJ_GENERATED:
    case OBJ_METABALL:
      o = std::make_unique<CMesh>();
      break;
    case OBJ_LIGHT:
      o = std::make_unique<CLightObject>();
      break;
    case OBJ_CAMERA:
      o = std::make_unique<CCameraObject>();
      break;
    case OBJ_SKYBOX:
      o = std::make_unique<CSkyBoxObject>();
      break;
    case OBJ_POSTPROCESS:
      o = std::make_unique<CPostProcessObject>();
      break;
    case OBJ_LAYERTEXT:
      o = std::make_unique<CLayerTextObject>();
      break;
    default:
      return nullptr;
  }
  o->kind = kind;
  return o;
}

const char16_t* ValueLinkText(std::int32_t link) {
  static constexpr const char16_t* kDigits[] = {u"--", u"01", u"02", u"03", u"04",
                                                u"05", u"06", u"07", u"08", u"09"};
  if (link >= 0 && link <= 9) return kDigits[link];
  return u"!";
}
