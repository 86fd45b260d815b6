#include "app/PanelDrawing.h"

#include "animation/AnimationManager.h"
#include "audio/SoundManager.h"
#include "core/Globals.h"
#include "effects/DeviceManager.h"
#include "framework/PanelPainter.h"
#include "gui/Dialog.h"
#include "scene/SceneManager.h"
#include "sequence/SequenceManager.h"
#include "values/ValuesManager.h"

void DrawPanels(float elapsed) {
  if (g_bGuiHidden) return;
  fw::PanelPainter* painter = g_DeviceManager.GetPanelPainter();
  if (!painter) return;
  // OnMsgProc's order, reversed.
  CDXUTDialog* const panels[] = {&g_AnimationManager.Panel(),        &g_SequenceManager.Panel(),
                                 &g_SequenceManager.MessageDialog(), &g_SceneManager.Panel(),
                                 g_ValuesManager.GetPanel(),         &g_DeviceManager.GetDialog(),
                                 &g_SoundManager.Panel()};
  painter->Begin();
  for (CDXUTDialog* d : panels)
    if (d) d->OnRender(*painter, elapsed);
  fw::CD3DSettingsDlg& settings = g_DeviceManager.GetSettingsDialog();
  if (settings.IsActive()) settings.GetDialogControl().OnRender(*painter, elapsed);
  painter->End();
}
