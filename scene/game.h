// One run of the game: the game state, the shape tables and the thirteen
// windows, all owned here. Every test builds its own Game.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "catch/frmFish.h"
#include "catch/frmUki.h"
#include "catch/record.h"
#include "platform/platform.h"
#include "scene/frmMan.h"
#include "scene/frmSea.h"
#include "scene/frmV.h"
#include "scene/game_state.h"
#include "shapes/frmBalloon.h"
#include "shapes/shape_record.h"
#include "ui/FrmComplete.h"
#include "ui/frmCon.h"
#include "ui/frmList.h"
#include "ui/frmMenu.h"
#include "ui/frm_Version.h"

namespace marivo {

class Game {
 public:
  explicit Game(Platform& platform);
  Game(const Game&) = delete;
  Game& operator=(const Game&) = delete;

  // Loads the start-up window (whose load handler builds the scene) and
  // shows it. Throws ProgramEnded when start-up ended the program.
  void Start();

  Platform& platform;
  GameState state;
  // This run's record file and what the run knows about it.
  RecordState record;

  // True when start-up found another copy of the game running and ended.
  bool RefusedAsSecondCopy() const { return refusedAsSecondCopy_; }
  // The end asked for from outside (the session ending, a termination
  // signal, a close request to the program): the counts are saved as the
  // exit item saves them, when this run has read them, and the program
  // ends. A copy that never read the record (refused, or still starting)
  // leaves it as it is.
  [[noreturn]] void SaveAndEnd();

  // Shape tables: the sprite windows' 61 slots and the balloon's 5 entries.
  std::array<ShapeRecord, 61> ShapeTable{};
  std::array<BalloonShapeRecord, 5> BalloonShapeTable{};
  std::int16_t BalloonShapesBuilt = 0;

  // The windows, in the catalogue's order.
  ManWindow frmMan;
  SeaWindow frmSea;
  UkiWindow frmUki;
  VersionWindow frm_Version;
  MenuWindow frmMenu;
  ConWindow frmCon;
  FishWindow frmFish;
  BalloonCenterWindow frmC;
  BalloonCapWindow frmL;
  BalloonCapWindow frmR;
  ListWindow frmList;
  MarkerWindow frmV;
  CompleteWindow FrmComplete;

  // Lays the scene out again if the screen changed while a sequence ran
  // and the game is idle now. The clock calls it every second.
  void LayOutAgainIfPending();

 private:
  // The scene stands on the usable bottom edge as start-up placed it; after
  // the screen changed it is placed again, once nothing is moving.
  void OnScreenChanged();
  bool Idle() const;
  void LayOutAgain();

  bool refusedAsSecondCopy_ = false;
  bool relayoutPending_ = false;
};

// Runs the whole program on a backend; returns when it has ended, with the
// program's exit status: 0, 1 when it refused to run as a second copy, 3
// when some of the collection could not be saved by the end.
int RunGame(Backend& backend);

}  // namespace marivo
