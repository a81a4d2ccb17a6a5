// One window of the catalogue on the desktop: a top-level QWidget painted
// from the window layer's state, and the NativeWindow the layer drives.
#pragma once

#include <QPushButton>
#include <QRegion>
#include <QWidget>
#include <array>
#include <memory>
#include <vector>

#include "platform/backend.h"

namespace marivo::qt {

class QtBackend;

// An outline built from a shape record, in pixels of the window.
class QtRegion final : public NativeRegion {
 public:
  explicit QtRegion(QRegion r) : region(std::move(r)) {}
  QRegion region;
};

class Surface final : public QWidget {
 public:
  Surface(QtBackend& backend, const WindowDesign& design, const WindowState& state);

  // Where the client area starts inside the widget (the control bar draws
  // its own one-pixel border around it).
  QPoint ClientOrigin() const { return clientOrigin_; }
  // The design control under a point of the widget that takes the pointer
  // (a visible picture box), or -1.
  int PictureAt(QPoint widgetPoint) const;
  // Hands a press or release on `control` to the window layer.
  void PostPointer(PlatformEvent::Kind kind, int control, int bit, QMouseEvent* event);
  // Brings the command buttons in line with their state.
  void SyncButtons();
  QPushButton* Button(int control) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool event(QEvent* event) override;

 private:
  QRect ControlRect(const ControlState& control) const;
  bool OverLabel(QPoint widgetPoint) const;

  QtBackend& backend_;
  const WindowDesign& design_;
  const WindowState& state_;
  QPoint clientOrigin_;
  std::vector<QPushButton*> buttons_;  // by design control, null for others
  // The control each button is held on, for the release (left, right, middle).
  std::array<int, 3> pressed_{-1, -1, -1};
};

class QtWindow final : public NativeWindow {
 public:
  QtWindow(QtBackend& backend, const WindowDesign& design, const WindowState& state);
  ~QtWindow() override;

  void SetBounds(int left, int top, int width, int height) override;
  void SetVisible(bool visible) override;
  void SetModal(bool modal) override;
  void SetBackColor(Color color) override;
  void SetCaption(const std::string& caption) override;
  void SetPicture(const assets::Image* picture) override;
  void ZOrder(int position) override;
  bool SetRegion(std::unique_ptr<NativeRegion> region, int tag) override;
  void ControlChanged(int control) override;
  void DrawingChanged() override;
  void SetTopMost() override;
  std::uintptr_t Handle() const override;

  Surface& Widget() { return *surface_; }

 private:
  // Shows the surface; a sprite first gets its desktop marks (see
  // X11Desktop::PrepareSprite), which the window manager reads at mapping.
  void ShowSurface();

  QtBackend& backend_;
  const WindowDesign& design_;
  std::unique_ptr<Surface> surface_;
  bool topMost_ = false;
};

// Whether a window has a title bar drawn by the window manager.
bool Decorated(BorderStyle border);

}  // namespace marivo::qt
