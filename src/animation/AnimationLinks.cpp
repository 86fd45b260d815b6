// The clock's links in the program: the sequence and sound managers.
#include "animation/AnimationManager.h"
#include "audio/SoundManager.h"
#include "core/Globals.h"
#include "sequence/SequenceManager.h"

namespace {

class GlobalLinks final : public AnimationLinks {
 public:
  bool IsSequencePlaying() override { return g_SequenceManager.IsPlaying(); }
  void RequestSlideAdvance() override { g_SequenceManager.RequestAdvance(); }
  void ResetSlideRemaining() override { g_SequenceManager.ResetRemaining(); }
  void SetMusicPosition(std::int32_t milliseconds) override { g_SoundManager.SetStreamTime(milliseconds); }
};

}  // namespace

AnimationLinks& GlobalAnimationLinks() {
  static GlobalLinks links;
  return links;
}
