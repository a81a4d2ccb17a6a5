// What Qt leaves unsaid to an X11 window manager, panel and compositor, said
// through the xcb connection Qt already has:
// - sprites (and the control bar) are normal windows that skip the task
//   list and the pager, cannot be given the keyboard focus and carry no
//   compositor shadow (a shadow would draw a dark fringe round the outline);
//   they are transient for no other window and go to the bottom of the
//   stacking order when asked, even while another program has the focus;
// - where the game placed each sprite, for tools that follow it;
// - whether the X server is XWayland, and whether a work area is published;
// - the focus of another client's window can be read before the popup menu
//   and handed back to it afterwards;
// - the stacking order of our windows as the X server holds it;
// - the panels along the screen's bottom edge that reserve no room there
//   (an autohiding dock, shown, or hidden down to a thin strip), followed
//   as they move, show and hide.
// Off X11 (Qt's off-screen platform in tests) every call does nothing.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QRect>
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

// A dock-type window of another program (a panel), as the X server has it
// now: its rectangle in device pixels of the root, and whether it reserves
// room along the screen's bottom edge (a bottom strut).
struct DockWindow {
  QRect rect;
  bool reservesBottom = false;
};

// Where the scene must stand so that no panel along the bottom edge of
// `screen` (device pixels of the root) covers it although that panel keeps
// no room there: the highest top among such docks, or nothing. A dock
// counts when it is wider than high, overlaps the screen across, starts in
// its lower half and reaches down to its last row or past it. One that
// reaches past it, and onto none of `otherScreens`, has slid out of the
// screen to hide (Xfce's autohiding dock keeps its window there and leaves
// a thin strip on the edge): it counts with its whole height, as it stands
// when it comes back. A panel that reserves its room (a bottom strut) is
// in the work area already.
std::optional<int> UnreservedDockTop(const QRect& screen, const std::vector<QRect>& otherScreens,
                                     const std::vector<DockWindow>& docks);

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

  // Takes away the WM_TRANSIENT_FOR Qt gives a tool window as it maps it
  // (transient for the program's client leader, that is for the whole
  // group): KWin keeps such a window above every earlier window of the
  // group, so a sprite could never go below one made before it. Window
  // managers read the property at mapping or follow its removal.
  // A window manager that read it first has placed the window as a
  // transient (KWin: over its main window, near the screen's top-left
  // corner, whatever position was asked for), so the window's place,
  // (x, y) in device pixels of the root, is asked for once more after.
  void ForgetTransient(std::uint32_t window, int x, int y);

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

  // The viewable dock-type windows among the window manager's clients,
  // read now. Each is watched from then on, with its frame: when one
  // moves, changes its size or its struts, is shown, hidden or destroyed,
  // or the window manager's list of clients changes, the handler given to
  // SetDocksChangedHandler runs (from Qt's event handling).
  std::vector<DockWindow> Docks();
  void SetDocksChangedHandler(std::function<void()> handler) { docksChanged_ = std::move(handler); }

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
  // Asks the window manager to send a window of ours, already lowered by
  // its own request (QWindow::lower), to the bottom of the stacking order.
  // That request is all the X server needs, but a window manager may not
  // carry it out: mutter drops a stacking request from a program whose
  // last input is older than the active window's (another program keeps
  // the focus while the game is played), and KWin lowers it only among
  // the program's own windows. Asked as a pager asks (_NET_RESTACK_WINDOW,
  // source 2), both carry it out at once. Not under XWayland, where the
  // sprites are not managed.
  void LowerToBottom(std::uint32_t window);

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
  // Whether a window is one of our sprites (PrepareSprite gave it their
  // marks).
  bool Sprite(std::uint32_t window) const;
  // A mapped sprite whose state lacks skip-taskbar or skip-pager: asks the
  // window manager to add them (the client message EWMH has for mapped
  // windows).
  void KeepOutOfTaskList(std::uint32_t window);
  // Whether an event about `window` may change what Docks() reads.
  bool AboutDocks(std::uint32_t window, std::uint32_t atom);
  // Selects the events that tell a dock or its frame moved, changed or
  // went (`watch`), or stops listening to them.
  void Listen(std::uint32_t window, bool watch);

  xcb_connection_t* connection_ = nullptr;
  std::uint32_t root_ = 0;
  std::map<std::string, std::uint32_t> atoms_;
  // The native windows PrepareSprite marked, until they are destroyed.
  std::set<std::uint32_t> sprites_;
  int xwayland_ = -1;  // not asked yet
  // Sprites whose marks were asked for since they were last mapped.
  std::set<std::uint32_t> askedSinceMapped_;
  // The window manager's clients whose type has been read: dock or not.
  std::map<std::uint32_t, bool> dockClients_;
  // Docks and their frames whose moves and changes are listened to.
  std::set<std::uint32_t> watched_;
  std::function<void()> docksChanged_;
  std::function<void(std::uint32_t)> topLevelChanged_;
};

}  // namespace marivo::qt
