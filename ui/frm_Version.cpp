#include "ui/frm_Version.h"

namespace marivo {

void VersionWindow::OnLoad() {
  Platform& p = GetPlatform();
  SetLeft((p.ScreenWidth() - Width()) / 2);
  SetTop((p.ScreenHeight() - Height()) / 2);
}

void VersionWindow::OnClick(Control& control) {
  if (&control == &Command1) Unload();
}

}  // namespace marivo
