#include "ui/frmList.h"

#include <string>

#include "catch/mod_fish.h"
#include "catch/record.h"
#include "scene/game.h"

namespace marivo {

ListWindow::ListWindow(Game& game) : Form(game.platform, WindowId::frmList), game_(game) {}

void ListWindow::OnLoad() {
  Game& g = game_;
  // Its bottom edge 100 twips above the angler.
  Move(0, g.frmMan.Top() - Height() - 100);
  int caught = 0;
  const auto& counts = g.state.CatchCount;
  for (int i = 0; i < kCreatureKinds; ++i) {
    PictureBox& cell = Picture1(i);
    if (counts[static_cast<std::size_t>(i)] < 1) {
      cell.SetVisible(false);
    } else {
      cell.SetVisible(true);
      cell.SetToolTipText(FishName(i));
      ++caught;
    }
  }
  Label3.SetCaption(std::to_string(caught) + " / " + std::to_string(kCreatureKinds));
}

void ListWindow::OnMouseMove(Control* over) {
  const int index = over != nullptr ? Picture1.IndexOf(*over) : -1;
  if (index >= 0 && over->Visible()) {
    Label2.SetCaption(std::to_string(game_.state.CatchCount[static_cast<std::size_t>(index)]) +
                      " 匹");
    return;
  }
  // The window's own surface; hidden cells, the grid lines and the frame
  // let the pointer through to it. Buttons and labels change nothing.
  const bool surface = over == nullptr || index >= 0 || dynamic_cast<Line*>(over) != nullptr ||
                       dynamic_cast<ShapeBox*>(over) != nullptr;
  if (surface) Label2.SetCaption("");
}

void ListWindow::OnClick(Control& control) {
  if (&control == &Command1) {
    Unload();
    return;
  }
  if (&control != &Command2) return;
  Game& g = game_;
  if (g.platform.MsgBox("釣果をクリアしていいですか？", MessageStyle::YesNoQuestion) !=
      MessageResult::Yes) {
    return;
  }
  for (int i = 0; i < kCreatureKinds; ++i) {
    Picture1(i).SetVisible(false);
    Picture1(i).SetToolTipText("");
  }
  std::string text;
  for (int i = 0; i < kCreatureKinds; ++i) {
    g.state.CatchCount[static_cast<std::size_t>(i)] = 0;
    text += "000";
  }
  WriteSetting(g, "Data", "Tyouka", text);
}

}  // namespace marivo
