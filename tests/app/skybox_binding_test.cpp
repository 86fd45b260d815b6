// The program's sky box as the bindings tie it: made with the device
// manager's device, drawn with its scene effect, reading the scene's sky
// box object and giving it the value script chosen in the values panel.
#include <gtest/gtest.h>

#include <cstdint>

#include "app/Bindings.h"
#include "core/Globals.h"
#include "effects/DeviceManager.h"
#include "effects/SkyBoxFixtures.h"
#include "effects/SkyBoxManager.h"
#include "gfx/RecordingDevice.h"
#include "gui/Controls.h"
#include "gui/Dialog.h"
#include "gui/DialogResourceManager.h"
#include "model/SceneObjects.h"
#include "scene/SceneManager.h"
#include "support/TempWorkDir.h"
#include "values/ValuesManager.h"

using Kind = gfx::RecordedEvent::Kind;
using namespace mv::test::skybox;

TEST(SkyBoxBinding, TheProgramsSkyBoxDrawsAndEditsTheScenesSkyBoxObject) {
  mv::test::TempWorkDir dir;
  dir.Write("fx/reflectori.fxo", SkyBoxEffectText());
  dir.Write("media/skybox/skybox.x", BoxX(1.0f, "sky0.tga", ""));
  dir.Write("media/skybox/sky0.tga", Tga(200, 10, 10));
  dir.Write("media/skybox/Light Probes/stpeters_cross.dds", CubeDds(10));
  BindFrameworkCallbacks();

  g_SceneManager.RemoveAllObjects();
  g_SceneManager.InsertObject(2, 0, 0, nullptr, nullptr, -1);
  g_SceneManager.InsertObject(3, 1, 0, nullptr, nullptr, -1);
  g_SceneManager.InsertObject(6, 2, 0, nullptr, nullptr, -1);
  CSkyBoxObject* sky = g_SceneManager.GetSkyBoxObject();
  ASSERT_NE(sky, nullptr);
  g_SceneManager.SetSelectedIndex(2);

  auto device = gfx::CreateRecordingDevice(320, 180);
  const gfx::BackBufferDesc bb = device->GetBackBufferDesc();
  ASSERT_EQ(DeviceManager::OnCreateDevice(device.get(), bb, &g_DeviceManager), gfx::S_OK);
  ASSERT_EQ(DeviceManager::OnResetDevice(device.get(), bb, &g_DeviceManager), gfx::S_OK);
  ASSERT_NE(g_SkyBoxManager.GetMesh(), nullptr);
  ASSERT_NE(g_SkyBoxManager.GetEnvironmentMap(), nullptr);

  // Drawn with the object's size, in the scene effect.
  g_SkyBoxManager.SetCamera(g_SceneManager.GetCamera());
  sky->size[0] = 7.0f;
  device->ClearEvents();
  device->BeginScene();
  g_SkyBoxManager.Render(device.get());
  device->EndScene();
  const auto draws = device->Find(Kind::Draw);
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[0]->technique, "RenderSkyBox");
  EXPECT_EQ(g_SkyBoxManager.GetScale().x, 7.0f);

  // Script 7 chosen in the values panel, then the sky box's size-x "?".
  g_ValuesManager.BuildPanel(&g_DialogResourceManager);
  CDXUTComboBox* selector = g_ValuesManager.GetPanel()->GetComboBox(IDC_VALUES_SELECTOR);
  ASSERT_NE(selector, nullptr);
  ASSERT_EQ(selector->SetSelectedByData(reinterpret_cast<void*>(std::intptr_t{7})), gfx::S_OK);
  g_ValuesManager.OnPanelEvent(EVENT_COMBOBOX_SELECTION_CHANGED, IDC_VALUES_SELECTOR);
  static CDXUTDialog panel;  // outlives the test: the manager keeps it
  panel.RemoveAllControls();
  CDXUTDialog* const previousPanel = g_SkyBoxManager.GetPanel();
  g_SkyBoxManager.BuildControls(&panel);
  SkyBoxManager::OnGuiEvent(EVENT_BUTTON_CLICKED, SkyBoxManager::IDC_SKYBOX_SCALE_LINK_X,
                            panel.GetButton(SkyBoxManager::IDC_SKYBOX_SCALE_LINK_X), nullptr);
  EXPECT_EQ(sky->links3[0], 7);
  g_SkyBoxManager.RefreshControls();
  EXPECT_EQ(panel.GetButton(SkyBoxManager::IDC_SKYBOX_SCALE_LINK_X)->GetTextString(), u"07");
  g_SkyBoxManager.SetPanel(previousPanel);
  selector->SetSelectedByData(nullptr);
  g_ValuesManager.OnPanelEvent(EVENT_COMBOBOX_SELECTION_CHANGED, IDC_VALUES_SELECTOR);

  DeviceManager::OnLostDevice(&g_DeviceManager);
  DeviceManager::OnDestroyDevice(&g_DeviceManager);
  EXPECT_EQ(g_SkyBoxManager.GetMesh(), nullptr);
  EXPECT_EQ(g_SkyBoxManager.GetEnvironmentMap(), nullptr);
  g_SceneManager.RemoveAllObjects();
}
