#pragma once
// Runs the show: the ordered slide list, the current slide, slide loading
// when it changes, and the advance when the animation of a playing slide
// has run out. Owns the sequence panel and the message dialog.
#include <cstdint>
#include <string>
#include <vector>

#include "core/MVObject.h"
#include "gui/Gui.h"
#include "sequence/SlideRecord.h"

// An entry of "media\template\": listed in the panel; inserting with one
// chosen starts the new slide as a copy of it.
struct SlideTemplate {
  char name[60] = {};
  char path[264] = {};
};

class AnimationManager;
class CDXUTDialogResourceManager;
class DeviceManager;
class PostProcessManager;
class SceneManager;
class SkyBoxManager;
class SoundManager;
class ValuesManager;

// The managers a show reaches: the seven sections of a slide, in file order,
// and the panels' resources. The program binds its single objects; tests
// bind their own.
struct ShowManagers {
  SkyBoxManager* skyBox = nullptr;
  DeviceManager* device = nullptr;
  PostProcessManager* postProcess = nullptr;
  SceneManager* scene = nullptr;
  SoundManager* sound = nullptr;
  AnimationManager* animation = nullptr;
  ValuesManager* values = nullptr;
  CDXUTDialogResourceManager* dialogResources = nullptr;
};

// How the last slide load went, for the log and the slide inspector.
struct SlideLoadReport {
  bool loaded = false;         // what the load returned: the show treats the slide as loaded
  bool valuesMissing = false;  // loaded without (or with a damaged) values section
  const char* section = "";    // the section that failed, or "values" for the warning
  std::int64_t offset = -1;    // byte offset of that section's tag, -1 when unknown
  std::int64_t stoppedAt = -1; // where reading stopped in a failed section, -1 when unknown
  std::string reason;          // empty when the whole slide was read
};

class SequenceManager : public MVObject {
 public:
  // Panel control IDs.
  enum : int {
    IDC_PLAY = 801,
    IDC_PREV = 802,
    IDC_NEXT = 803,
    IDC_STATUS = 804,
    IDC_INSERT = 805,
    IDC_REMOVE = 806,
    IDC_SAVE = 807,
    IDC_DURATION_EDIT = 808,
    IDC_DURATION_LABEL = 809,
    IDC_MSG_OK = 810,
    IDC_MSG_TEXT = 811,
    IDC_TEMPLATES = 812,
    IDC_CALC = 813,
    IDC_DURATION_SLIDER = 448,
  };
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  // Scans the templates folder and hides the GUI, as at program start. Every
  // manager of `managers` must be set.
  explicit SequenceManager(const ShowManagers& managers);

  std::int32_t GetType() const override { return MV_TYPE_SEQUENCE; }
  std::ostream& Write(std::ostream& out) override;
  std::istream& Read(std::istream& in) override;

  void BuildPanels();
  void FrameMove(float elapsed);
  void Next();
  void Previous();
  void Insert();
  void Remove();
  void SaveCurrent();
  void Calc();
  void TogglePlay();
  void ShowMessage(std::u16string_view caption, std::u16string_view text, int kind);
  void ResetRemaining();
  int SlideCellAt(int x, int y) const;

  // The whole slide: seven tagged manager sections. Stream versions serve
  // the inspector and the fuzzers.
  bool SaveSlide(std::u16string_view path);
  bool LoadSlide(std::u16string_view path);
  bool SaveSlideTo(std::ostream& out);
  bool LoadSlideFrom(std::istream& in);
  const SlideLoadReport& LastLoadReport() const { return m_loadReport; }

  // What the animation manager and the app reach.
  bool IsPlaying() const { return m_bPlaying; }
  void RequestAdvance() { m_remaining = -1; }
  std::int32_t GetRemaining() const { return m_remaining; }
  void SetRemaining(std::int32_t ms) { m_remaining = ms; }

  // State, for the panel, the app and tests.
  const std::vector<SlideRecord>& Slides() const { return m_slides; }
  std::vector<SlideRecord>& Slides() { return m_slides; }
  std::size_t Current() const { return m_current; }
  std::size_t LastLoaded() const { return m_lastLoaded; }
  const std::vector<SlideTemplate>& Templates() const { return m_templates; }
  bool MusicStarted() const { return m_bMusicStarted; }
  CDXUTDialog& Panel() { return m_panel; }
  CDXUTDialog& MessageDialog() { return m_messageDialog; }

  // The template chosen in the panel, or none.
  const SlideTemplate* SelectedTemplate() const;

  // Re-runs the template scan of "media\template\*.slide" in the current
  // working folder (construction runs it once).
  void ScanTemplates();

 private:
  void RefreshPanel();
  void CopyTemplate(const SlideTemplate& t, std::string_view slidePath);
  void OnDurationSlider(int value);
  void OnDurationEdit(std::u16string_view text);
  SlideRecord* CurrentSlide();
  static void CALLBACK OnPanelEvent(UINT event, int id, CDXUTControl* control, void* user);
  static void CALLBACK OnMessageEvent(UINT event, int id, CDXUTControl* control, void* user);
  // Where the show reaches the other managers and the framework.
  void RequestShutdown(int exitCode);
  void LogLoadFailure(std::u16string_view path) const;
  void ResetSceneSelection();
  void SetAnimationPlaying(bool playing);
  void SetMusicPlaying(bool playing);
  std::vector<int> FirstObjectKeyFrames() const;
  void SetDurationSliderValue(int value);

  ShowManagers m_managers;
  SlideLoadReport m_loadReport;
  // A slide that failed to load is skipped after its own duration unless
  // the performer paused the show.
  bool m_bCurrentFailed = false;
  bool m_bUserPaused = false;
  double m_skipLeftMs = 0;
  std::vector<SlideRecord> m_slides;
  std::size_t m_current = kNone;
  std::size_t m_lastLoaded = kNone;
  std::vector<SlideTemplate> m_templates;
  bool m_bMusicStarted = false;
  bool m_bPlayLabelDirty = false;
  bool m_bPlaying = false;
  std::int32_t m_remaining = 0;
  CDXUTDialog m_messageDialog;
  CDXUTDialog m_panel;
};

extern SequenceManager g_SequenceManager;
