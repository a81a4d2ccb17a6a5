// What Qt leaves unsaid to an X11 window manager, panel and compositor, said
// through the xcb connection Qt already has:
// - sprites (and the control bar) are normal windows that skip the task
//   list and the pager, cannot be given the keyboard focus and carry no
//   compositor shadow (a shadow would draw a dark fringe round the outline);
// - where the game placed each sprite, for tools that follow it;
// - whether the X server is XWayland, and whether a work area is published;
// - the focus of another client's window can be read before the popup menu
//   and handed back to it afterwards;
// - the stacking order of our windows as the X server holds it.
// Off X11 (Qt's off-screen platform in tests) every call does nothing.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QRegion>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct xcb_connection_t;

namespace marivo::qt {

class X11Desktop final : public QAbstractNativeEventFilter {
 public:
  // Uses the application's xcb connection when Qt runs on X11.
  X11Desktop();
  ~X11Desktop() override;
  X11Desktop(const X11Desktop&) = delete;
  X11Desktop& operator=(const X11Desktop&) = delete;

  bool Available() const { return connection_ != nullptr; }

  // Marks a sprite window that is not mapped yet (the window manager reads
  // these when it maps it and forgets them when it is withdrawn).
  void PrepareSprite(std::uint32_t window);

  // Writes where the game placed a sprite, in device pixels of the root,
  // as _MARIVO2_GEOMETRY (INTEGER x, y, width, height): the X window itself
  // is only the part that lies inside the screen's usable area, so tools
  // that follow the game (the desktop checks' player) read this instead.
  void SetPlace(std::uint32_t window, int x, int y, int width, int height);

  // Sets the window's input shape (where it takes the pointer) to `region`,
  // given in logical pixels of the window (scaled by `ratio` to the X
  // window's); an empty region takes the input shape away (the whole
  // window takes the pointer). The bounding shape is left as it is.
  void SetInputShape(std::uint32_t window, const QRegion& region, qreal ratio);

  // Whether the X server is XWayland (it has the XWAYLAND extension, or
  // its screens are XWayland's RandR outputs): the
  // Wayland compositor, not an X window manager, then places and stacks
  // managed windows.
  bool Xwayland();
  // The work area the window manager publishes (_NET_WORKAREA, the first
  // desktop's x, y, width, height in device pixels of the root), read
  // from the root window now; nothing when none is published.
  std::optional<std::array<std::int32_t, 4>> WorkArea();

  // When the window manager frames a sprite, the frame gets the sprite's
  // no-shadow mark too: compositors read it from the top-level window,
  // which is then the frame. Watches the reparenting among Qt's events.
  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  // The window the window manager calls active (0: none or unknown).
  std::uint32_t ActiveWindow();
  // The window that has the keyboard focus (0: none).
  std::uint32_t FocusWindow();
  // Asks the window manager to activate `window`, as a pager would.
  void Activate(std::uint32_t window);

  // Reports every top-level window (child of the root) mapped or
  // restacked, by any client, with its id. The events that tell of it are
  // not passed on to Qt.
  void WatchTopLevels(std::function<void(std::uint32_t window)> onChange);
  // Puts a window of ours on top of the X server's stacking order.
  void RaiseToTop(std::uint32_t window);

  // The top-level window (child of the root) that holds `window`: itself,
  // or the window manager's frame around it.
  std::uint32_t TopLevelOf(std::uint32_t window);
  // The root's children, bottom first.
  std::vector<std::uint32_t> Stacking();
  // Reads a 32-bit list property (atoms, windows, cardinals).
  std::vector<std::uint32_t> ListProperty(std::uint32_t window, const char* name);
  std::uint32_t Atom(const char* name);
  std::uint32_t Root() const { return root_; }
  void Flush();

 private:
  // Whether an event reports a change of one of the root's children to the
  // root (SubstructureNotify, asked for by WatchTopLevels).
  bool ChildOfRootEvent(int type, const void* event) const;
  // Whether a window is one of our sprites (it carries their marks).
  bool Sprite(std::uint32_t window);
  // A mapped sprite whose state lacks skip-taskbar or skip-pager: asks the
  // window manager to add them (the client message EWMH has for mapped
  // windows).
  void KeepOutOfTaskList(std::uint32_t window);

  xcb_connection_t* connection_ = nullptr;
  std::uint32_t root_ = 0;
  std::map<std::string, std::uint32_t> atoms_;
  int xwayland_ = -1;  // not asked yet
  // Sprites whose marks were asked for since they were last mapped.
  std::set<std::uint32_t> askedSinceMapped_;
  std::function<void(std::uint32_t)> topLevelChanged_;
};

}  // namespace marivo::qt
