// The state shared by the handlers of several windows. One instance per
// run, owned by the Game; every variable starts at zero.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/arith.h"

namespace marivo {

struct GameState {
  double ScreenBottom = 0;                    // bottom of the usable screen, twips
  std::array<std::int16_t, 46> CatchCount{};  // per catalogue kind; 45 belongs to none
  std::string ExeName;                        // names the record file
  Flag Busy = kFalse;                         // a sequence is running
  Flag LineOut = kFalse;                      // the line is in the water
  Flag Biting = kFalse;                       // a fish holds the float under
  Fixed4 BiteElapsed;                         // ms into the bite window, -1 when none is open
  Flag StrikePressed = kFalse;                // the player pressed while the line was out
  Flag Reeling = kFalse;                      // the player is reeling
  Flag ButtonDown = kFalse;                   // -1 after a left press on the button
  Flag ButtonUp = kFalse;                     // -1 after a release on the button
  std::int32_t FightTicks = 0;                // fight passes since the last colour attempt
  std::int32_t FishRange = 0;                 // sea width handed to ChooseFish, twips
  std::int32_t HookX = 0;                     // float's left edge when the fight began
  std::int32_t HookY = 0;                     // float's top edge when the fight began
  Flag GaugeRunning = kFalse;
  Flag GaugeStopRequested = kFalse;
  float GaugeLevel = 0;      // 1..50 once the control bar has loaded
  float GaugeDirection = 0;  // +1 growing, -1 shrinking
  float GaugeStep = 0;       // the gauge waits 10 * GaugeStep ms between steps
  std::int32_t CastPower = 0;
  std::int32_t FlightX = 0, FlightY = 0;  // twips
  float FlightVX = 0, FlightVY = 0;       // twips per step
  std::int32_t FlightPhase = 0;           // which float picture the flight shows
};

}  // namespace marivo
