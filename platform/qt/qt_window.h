// One window of the catalogue on the desktop: a top-level QWidget painted
// from the window layer's state, and the NativeWindow the layer drives.
#pragma once

#include <QPushButton>
#include <QRegion>
#include <QTimer>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>
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

  // Where the client area starts inside the window (the control bar draws
  // its own one-pixel border around it).
  QPoint ClientOrigin() const { return clientOrigin_; }
  // Which part of the window the game placed this widget shows: the
  // widget's top-left corner lies at `origin` in the window, whose whole
  // size is `whole`; `outline` (window pixels) is what is drawn of it.
  void SetView(QPoint origin, QSize whole, const std::optional<QRegion>& outline);
  QPoint Origin() const { return origin_; }
  // The whole size of the window the game placed.
  QSize Whole() const { return whole_.isValid() ? whole_ : size(); }
  // The design control under a point of the window that takes the pointer
  // (a visible picture box), or -1.
  int PictureAt(QPoint windowPoint) const;
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
  bool OverLabel(QPoint windowPoint) const;

  QtBackend& backend_;
  const WindowDesign& design_;
  const WindowState& state_;
  QPoint clientOrigin_;
  QPoint origin_;
  QSize whole_;
  std::optional<QRegion> outline_;
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
  // The screen's usable area changed: a sprite is cut to the new one.
  void Replace() { Place(); }
  // What the sprite's picture covers on the screen, in logical pixels
  // (nothing while its native window is not shown).
  QRegion Covers() const;
  // A shown sprite's native window goes on top of the X server's order.
  void RaiseNative();
  // Sends the native window to the bottom of the stacking order.
  void LowerNative();
  // A window of ours above this one changed: what this one draws is cut
  // anew (see Drawn).
  void Reclip();

 private:
  // The native window of a sprite that is shown; 0 otherwise (a framed
  // window, or nothing shown).
  std::uint32_t ShownSpriteId() const;
  // Shows the surface; a sprite first gets its desktop marks (see
  // X11Desktop::PrepareSprite), which the window manager reads at mapping.
  void ShowSurface();
  // A sprite's native window is the part of the rectangle the game asked
  // for that lies on the screen and above the usable bottom: no window
  // manager is ever asked to put a window over a panel or off the screen
  // (most refuse, and pull it back). The picture and the outline are
  // offset so that exactly the pixels that would show on a desktop that
  // let the window stand there are drawn; nothing of it showing, the
  // native window is unmapped while the game still sees it shown.
  void Place();
  // Maps the native window of a sprite the game shows (see Place).
  void MapNow();
  // The part of the outline (the whole window without one) that is drawn:
  // on XWayland less what our windows above it cover.
  std::optional<QRegion> Drawn() const;

  QtBackend& backend_;
  const WindowDesign& design_;
  std::unique_ptr<Surface> surface_;
  bool topMost_ = false;
  QRect want_;                      // the game's rectangle, logical pixels
  std::optional<QRegion> outline_;  // the shape set by the game
  std::optional<QRegion> shaped_;   // the X shape last set (empty: none)
  bool visible_ = false;            // as the game sees it
  bool lowered_ = false;            // sent to the bottom (ZOrder 1) last
  QPoint origin_;                   // the native window's corner in the game's window
  QTimer mapTimer_;                 // the map waits for the event loop (see Place)
};

// Whether a window has a title bar drawn by the window manager.
bool Decorated(BorderStyle border);

}  // namespace marivo::qt
