#pragma once
// The "Scene Manager" panel: control IDs, and what it hosts from other
// managers. The panel itself is built, refreshed and handled by the scene
// manager (scene/ScenePanel.cpp).
#include "gui/GuiTypes.h"

class CDXUTDialog;
class CDXUTControl;

enum ScenePanelId : int {
  IDC_SCENE_OBJECT = 5,  // catalog entries
  IDC_SCENE_RENDERER = 25,
  IDC_SCENE_SHADE = 427,
  IDC_SCENE_FILL = 428,
  IDC_SCENE_POWER_LABEL = 429,
  IDC_SCENE_POWER = 430,
  IDC_SCENE_REFLECTIVITY_LABEL = 431,
  IDC_SCENE_REFLECTIVITY = 432,
  IDC_SCENE_EYE = 433,
  IDC_SCENE_LOOKAT = 434,
  IDC_SCENE_EYE_LABEL = 435,
  IDC_SCENE_LOOKAT_LABEL = 436,
  IDC_SCENE_IPOS_LABEL = 437,
  IDC_SCENE_IROT_LABEL = 438,
  IDC_SCENE_IPOS = 439,
  IDC_SCENE_IROT = 440,
  IDC_SCENE_VDIFF = 444,
  IDC_SCENE_VSPEC = 445,
  IDC_SCENE_VDIFF_LABEL = 446,
  IDC_SCENE_VSPEC_LABEL = 447,
  IDC_SCENE_PREVIOUS = 450,
  IDC_SCENE_NEXT = 451,
  IDC_SCENE_COUNTER = 452,
  IDC_SCENE_INSERT = 453,
  IDC_SCENE_REMOVE = 454,
  IDC_SCENE_ISCALE = 455,
  IDC_SCENE_ISCALE_LABEL = 456,
  IDC_SCENE_KIND_LABEL = 457,  // "Light", "Camera", "Layer Text"
  IDC_SCENE_TEXT = 458,
  IDC_SCENE_FONT = 459,
  IDC_SCENE_LIGHT_POS_LABEL = 460,
  IDC_SCENE_LIGHT_RADIUS_LABEL = 461,
  IDC_SCENE_LIGHT_POS = 462,
  IDC_SCENE_LIGHT_RADIUS = 463,
  IDC_SCENE_START = 464,
  IDC_SCENE_END = 465,
  IDC_SCENE_START_LABEL = 466,
  IDC_SCENE_END_LABEL = 467,
  IDC_SCENE_ANIM_SET_LABEL = 468,
  IDC_SCENE_ANIM_SET = 469,
  IDC_SCENE_ANIM_SPEED_LABEL = 470,
  IDC_SCENE_ANIM_SPEED = 471,
  IDC_SCENE_ANIM_TYPE_LABEL = 472,
  IDC_SCENE_ANIM_TYPE = 473,
  IDC_SCENE_FLEX_LABEL = 474,
  IDC_SCENE_FLEX = 475,
  // Value-link buttons ("?").
  IDC_SCENE_LINK_POWER = 478,
  IDC_SCENE_LINK_REFLECTIVITY = 479,
  IDC_SCENE_LINK_LIGHT_POS = 480,     // 480..482
  IDC_SCENE_LINK_LIGHT_RADIUS = 483,
  IDC_SCENE_LINK_IPOS = 486,          // 486..488
  IDC_SCENE_LINK_IROT = 489,          // 489..491
  IDC_SCENE_LINK_ISCALE = 492,        // 492..494
  IDC_SCENE_LINK_VSPEC = 495,         // 495..497
  IDC_SCENE_LINK_VDIFF = 498,         // 498..501
  IDC_SCENE_LINK_START = 502,
  IDC_SCENE_LINK_END = 503,
  IDC_SCENE_LINK_EYE = 504,           // 504..506
  IDC_SCENE_LINK_LOOKAT = 507,        // 507..509
  IDC_SCENE_PARENT = 510,
  IDC_SCENE_LINK_FLEX = 511,          // 511..513: DeformA, DeformB, DeformC
  IDC_SCENE_POS_LABEL = 520,
  IDC_SCENE_POS = 522,
  IDC_SCENE_LINK_POS = 523,           // 523..525
};

// The sky box manager's controls, which the panel hosts while the sky box
// object is selected. The program binds the sky box manager; without a
// binding the sky box object shows the header row only.
class SceneSkyBoxControls {
 public:
  virtual ~SceneSkyBoxControls() = default;
  // Adds the sky box rows to the dialog (and remembers it).
  virtual void BuildControls(CDXUTDialog* dialog) = 0;
  // Events of its controls (IDs 1123..1141).
  virtual void OnControlEvent(UINT event, int controlId, CDXUTControl* control) = 0;
  // Fills its controls from the sky box object.
  virtual void RefreshControls() = 0;
};

inline constexpr int kSkyBoxControlFirstId = 1123;
inline constexpr int kSkyBoxControlLastId = 1141;
