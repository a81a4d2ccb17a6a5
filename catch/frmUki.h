// The float: its own timer runs the waiting phase (bobs, drifts, nibbles
// and bites); ukihikuhiku and PlayerHiku move it for the other windows.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace marivo {

class Game;

class UkiWindow final : public Form {
 public:
  explicit UkiWindow(Game& game);

  // Moves the float's top in steps to (near) `btop`; `b` tells whether the
  // float is meant to stay down, which changes nothing about the move.
  void ukihikuhiku(double btop, bool b);
  // The float dragged by the reeling player (mode 2), dropped back when the
  // player lets go (mode 1), or both (mode 0).
  void PlayerHiku(double btop, int b);

  // The top the upright float has with its bottom on the sea strip's top
  // edge, where the scene stands now.
  std::int32_t RestingTop();

  std::int32_t ntop = 0;   // reference top: the float's bottom on the sea's top edge
  std::int32_t nwait = 0;  // quiet ticks left

  ControlArray<PictureBox> Picture1{*this, "Picture1"};
  Timer Timer1{*this, "Timer1"};

 protected:
  void OnLoad() override;
  void OnTimer(Timer& timer) override;

 private:
  void Bob();
  void Drift();
  void Bite();
  // True once the window this routine started on has been unloaded (a
  // landing ran inside one of its waits): the routine must stop without
  // touching the window, which would bring back a stray float.
  bool Gone(std::uint64_t generation) const { return !IsLoaded() || Generation() != generation; }
  // How far the scene's new layout moved the reference top since
  // `reference` was taken (0 when it did not), taking it afresh: a move in
  // progress carries on from the new height.
  std::int32_t Relaid(std::int32_t& reference) {
    const std::int32_t shift = ntop - reference;
    reference = ntop;
    return shift;
  }

  Game& game_;
};

}  // namespace marivo
