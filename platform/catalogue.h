// The thirteen windows of the game with their design values: border,
// caption, colours, sizes, controls, picture slots and timers. This is data;
// the window layer loads a window from it and every backend realises the
// window from the same description.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "assets/images.h"
#include "platform/types.h"

namespace marivo {

enum class WindowId {
  frmMan,
  frmSea,
  frmUki,
  frm_Version,
  frmMenu,
  frmCon,
  frmFish,
  frmC,
  frmL,
  frmR,
  frmList,
  frmV,
  FrmComplete,
};
inline constexpr int kWindowCount = 13;

struct ControlDesign {
  ControlKind kind = ControlKind::Label;
  std::string_view name;  // "Timer1", "Picture1", "mFishList" ...
  int index = -1;         // element of a control array, -1 when not an array
  // Position and size in twips within the client area (lines: end points).
  double left = 0, top = 0, width = 0, height = 0;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  bool visible = true;
  Color backColor = kButtonFace;
  Color foreColor = kBlack;
  bool transparent = false;  // labels that let the window show through
  std::string_view caption;
  FontDesign font;
  TextAlign align = TextAlign::Left;
  const assets::Image* picture = nullptr;
  // Picture boxes that only store frames for the window's own picture are
  // never drawn; they sit outside the part of the window that shows.
  bool frameStore = false;
  bool isDefault = false;  // the default button of a dialog
  // Timers.
  int interval = 0;
  bool enabled = false;
  // Menu items: separators have the caption "-".
  std::string_view parent;  // name of the parent menu item, empty for top level
};

struct WindowDesign {
  WindowId id = WindowId::frmMan;
  std::string_view name;
  BorderStyle border = BorderStyle::None;
  std::string_view caption;
  Color backColor = kButtonFace;
  Color foreColor = kBlack;
  // Design client size in twips.
  double clientWidth = 0, clientHeight = 0;
  const assets::Image* picture = nullptr;  // the window's own picture
  const assets::Image* icon = nullptr;
  FontDesign font;
  bool showInTaskbar = false;
  // Sprite windows never take the keyboard focus and are cut to a shape.
  bool sprite = false;
  std::vector<ControlDesign> controls;
};

// The design of one window; the catalogue is built once and never changes.
const WindowDesign& Design(WindowId id);
std::span<const WindowDesign> AllDesigns();

}  // namespace marivo
