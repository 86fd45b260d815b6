#pragma once
// The animation manager: the 25-frames-per-second clock that moves every
// object's timeline from key to key and interpolates between keys, the key
// editing of the "Animation Manager" panel, and the end-of-slide signal to
// the show.
#include <cstdint>
#include <string>

#include "core/MVObject.h"
#include "gui/Dialog.h"

class SceneManager;
class TimeLine;
class CDXUTControl;
class CDXUTTimeLine;

// What the clock asks of the show and the music. The program binds the
// sequence and sound managers (app/Bindings.cpp); tests pass their own.
class AnimationLinks {
 public:
  virtual ~AnimationLinks() = default;
  // The sequence plays (not in pause mode).
  virtual bool IsSequencePlaying() = 0;
  // The slide's animation has run out: the show moves on at its next step.
  virtual void RequestSlideAdvance() = 0;
  // The clock restarted: the slide's remaining time starts again.
  virtual void ResetSlideRemaining() = 0;
  // The timeline control was clicked: the music follows the timelines.
  virtual void SetMusicPosition(std::int32_t milliseconds) = 0;
};

class AnimationManager : public MVObject {
 public:
  // Panel control IDs.
  enum : int {
    IDC_PLAY = 901,
    IDC_PREV = 902,
    IDC_NEXT = 903,
    IDC_STATUS = 904,
    IDC_INSERT = 905,
    IDC_REMOVE = 906,
    IDC_RECORD = 907,
    IDC_DURATION = 910,
    IDC_PROPAGATE = 911,
    IDC_TIMELINE = 921,
    IDC_PROPAGATE_MODE = 922,
  };
  enum PropagateMode : int { ALL_AFTER = 0, ALL_BEFORE = 1, ALL = 2, AFTER = 3, BEFORE = 4 };

  static constexpr float kFramesPerSecond = 25.0f;
  static constexpr float kStartDelay = 2.0f;  // seconds; the clock holds while above 1

  AnimationManager(SceneManager* scene, AnimationLinks* links);

  std::int32_t GetType() const override { return MV_TYPE_ANIMATION; }
  // Panel preferences; then, on a good stream, a panel refresh and a forced
  // restart of the clock.
  std::istream& Read(std::istream& in) override;

  // The per-frame step.
  void Update(float elapsedSeconds, bool forced);
  void NextKey(int objectIndex);
  void PrevKey(int objectIndex);
  void ApplyCurrentKeys();
  void UpdatePanel();
  // Called by the frame render while the panels are shown.
  void OnRender();

  // The panel: controls, positions and events.
  void BuildPanel(CDXUTDialogResourceManager* resources = nullptr);
  CDXUTDialog& Panel() { return m_panel; }
  void OnPanelEvent(UINT event, int controlId, CDXUTControl* control);

  // Panel actions, also reachable without the dialog.
  void TogglePlay();
  void PreviousKeyAll();
  void NextKeyAll();
  void InsertKeyAll();
  void RemoveKeyAll();
  void RecordKeyAll();
  void Propagate(int mode);
  // A click at window x on the timeline control of width w showing n frames.
  void SeekToClick(int pointerX, int controlWidth, float lengthFrames);

  // The sequence manager starts and stops the clock.
  bool IsPlaying() const { return m_bPlaying; }
  void SetPlaying(bool playing) {
    m_bPlaying = playing;
    m_bPlayStateChanged = true;
  }
  bool IsPanelDirty() const { return m_bPanelDirty; }
  void SetPanelDirty(bool dirty = true) { m_bPanelDirty = dirty; }
  float GetSegmentDuration() const { return m_fSegmentDuration; }
  float GetStartDelay() const { return m_fStartDelay; }
  SceneManager* GetScene() const { return m_pScene; }
  void SetScene(SceneManager* scene) { m_pScene = scene; }

  // The key duration typed into the panel, in frames ("100" at start).
  void SetDurationText(std::u16string_view text);
  std::int32_t GetDurationFrames() const;

  // What UpdatePanel last showed (kept for the dialog and for tests).
  const std::u16string& GetStatusText() const { return m_status; }
  // Enabled state of a button (Play, "<", ">", Insert, Remove, Record,
  // Propagate); false for any other ID.
  bool IsButtonEnabled(int controlId) const;
  const std::u16string& GetPlayCaption() const { return m_playCaption; }
  const std::u16string& GetDurationText() const { return m_durationText; }
  float GetTimeLineLength() const { return m_fTimeLineLength; }
  float GetTimeLineMarker() const { return m_fTimeLineMarker; }
  int GetPropagateMode() const { return m_propagateMode; }
  void SetPropagateMode(int mode) { m_propagateMode = mode; }

 private:
  TimeLine* TimeLineOf(int objectIndex) const;
  // The cursor moves of NextKey and PrevKey, without applying the keys.
  void MoveToNextKey(TimeLine& t);
  void MoveToPreviousKey(TimeLine& t);
  TimeLine* SelectedTimeLine() const;
  void SetButtonEnabled(int controlId, bool enabled);
  // Pushes the state above into the dialog's controls once they exist.
  void SyncPanelControls();
  static void OnGuiEvent(UINT event, int controlId, CDXUTControl* control, void* userContext);

  SceneManager* m_pScene;
  AnimationLinks* m_pLinks;
  bool m_bPlaying = false;
  bool m_bPlayStateChanged = false;
  bool m_bPanelDirty = false;
  float m_fSegmentDuration = 0.0f;
  bool m_bEditDirty = false;
  CDXUTDialog m_panel;
  float m_fStartDelay = 0.0f;

  // Panel state mirrored into the controls when the dialog is built.
  std::u16string m_status = u"No Keyframe !";
  std::u16string m_playCaption = u"Play";
  std::u16string m_durationText = u"100";
  // Play, "<", ">", Insert, Remove, Record, Propagate: the key buttons
  // start disabled, Insert enabled.
  bool m_buttonEnabled[7] = {false, false, false, true, false, false, false};
  bool m_bPanelBuilt = false;
  float m_fTimeLineLength = 64.0f;
  float m_fTimeLineMarker = 0.0f;
  int m_propagateMode = ALL_AFTER;
};

extern AnimationManager g_AnimationManager;
