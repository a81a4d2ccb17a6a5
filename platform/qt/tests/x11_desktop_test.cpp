// Our windows as an X server and a window manager (openbox) see them: the
// stacking order the X server holds, the pixels on the screen, and the marks
// that keep the sprites out of task lists, away from the focus and free of
// compositor shadows.
#include "platform/qt/x11_desktop.h"

#include <gtest/gtest.h>
#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

#include "platform/platform.h"
#include "platform/qt/qt_backend.h"
#include "platform/qt/qt_support.h"

namespace marivo::qt {
namespace {

QtBackend::Options Quiet() {
  QtBackend::Options o;
  o.watchSignals = false;
  return o;
}

QWidget* TopLevel(const char* name) {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->objectName() == name) return w;
  }
  return nullptr;
}

// Pumps Qt until `done` holds or five seconds have passed: the window
// manager answers in its own time.
bool PumpUntil(const std::function<bool()>& done) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > 5000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

class X11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "no X server (Xvfb) here";
  }
};

// Where a window stands in the X server's stacking order (bottom 0).
int StackIndex(X11Desktop& x, QWidget* w) {
  const std::uint32_t top = x.TopLevelOf(static_cast<std::uint32_t>(w->winId()));
  const auto order = x.Stacking();
  const auto it = std::find(order.begin(), order.end(), top);
  return it == order.end() ? -1 : int(it - order.begin());
}

// Whether the window manager has taken the window over (or there is none).
bool Managed(X11Desktop& x, QWidget* w) {
  const bool wm = !x.ListProperty(x.Root(), "_NET_SUPPORTING_WM_CHECK").empty();
  return !wm || !x.ListProperty(static_cast<std::uint32_t>(w->winId()), "WM_STATE").empty();
}

// Pumps for `ms` milliseconds: whatever the window manager does in that time.
void Settle(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool Has(const std::vector<std::uint32_t>& list, std::uint32_t value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

TEST_F(X11Test, ZOrderOneSinksTheFloatBehindTheSeaOnTheScreen) {
  QtBackend backend(Quiet());
  Platform platform(backend);
  X11Desktop& x = backend.Desktop();
  Form sea(platform, WindowId::frmSea);
  Form uki(platform, WindowId::frmUki);
  // The float overlaps the sea strip, as a sunk float does.
  sea.Move(15.0 * 100, 15.0 * 300, 15.0 * 200, 15.0 * 10);
  uki.Move(15.0 * 150, 15.0 * 295, 15.0 * 20, 15.0 * 20);
  sea.Show();
  uki.Show();
  QWidget* seaW = TopLevel("frmSea");
  QWidget* ukiW = TopLevel("frmUki");
  ASSERT_NE(seaW, nullptr);
  ASSERT_NE(ukiW, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return Managed(x, seaW) && Managed(x, ukiW); }));
  // Transient for the program's group, a window is kept above the group's
  // earlier windows by KWin, whatever the program asks.
  for (QWidget* w : {seaW, ukiW}) {
    EXPECT_TRUE(x.ListProperty(std::uint32_t(w->winId()), "WM_TRANSIENT_FOR").empty())
        << w->objectName().toStdString() << " is transient for another window";
  }

  // A point inside both windows, in device pixels of the screen.
  auto colourAt = [](int px, int py) {
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0, px, py, 1, 1).toImage();
    return shot.pixelColor(0, 0);
  };
  uki.ZOrder(0);
  EXPECT_TRUE(PumpUntil([&] { return StackIndex(x, ukiW) > StackIndex(x, seaW); }))
      << "the float came to the top";
  uki.ZOrder(1);
  EXPECT_TRUE(PumpUntil([&] { return StackIndex(x, ukiW) < StackIndex(x, seaW); }))
      << "the float went below the sea";
  Settle(200);
  EXPECT_LT(StackIndex(x, ukiW), StackIndex(x, seaW)) << "and stays there";
  // The sea covers the float where they overlap.
  EXPECT_TRUE(PumpUntil([&] { return colourAt(155, 302) == QColor(0, 0, 255); }))
      << "the sea strip's blue shows over the sunk float";
  EXPECT_TRUE(ukiW->isVisible());

  uki.ZOrder(0);
  EXPECT_TRUE(PumpUntil([&] { return StackIndex(x, ukiW) > StackIndex(x, seaW); }));
  EXPECT_TRUE(PumpUntil([&] { return colourAt(155, 302) != QColor(0, 0, 255); }))
      << "raised again, the float shows over the sea";
}

// The X window's place on the root, as the X server holds it.
QRect XGeometry(std::uint32_t window) {
  auto* c = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
  auto* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
  if (g == nullptr) return {};
  const xcb_window_t root = g->root;
  const QSize size(g->width, g->height);
  std::free(g);
  auto* t =
      xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, window, root, 0, 0), nullptr);
  if (t == nullptr) return {};
  const QRect r(QPoint(t->dst_x, t->dst_y), size);
  std::free(t);
  return r;
}

// What the X window shows on the root: its rectangle cut to the extents of
// its bounding shape.
QRect XDrawn(std::uint32_t window) {
  const QRect r = XGeometry(window);
  auto* c = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
  auto* e = xcb_shape_query_extents_reply(c, xcb_shape_query_extents(c, window), nullptr);
  if (e == nullptr) return r;
  const QRect shaped(r.x() + e->bounding_shape_extents_x, r.y() + e->bounding_shape_extents_y,
                     e->bounding_shape_extents_width, e->bounding_shape_extents_height);
  const bool isShaped = e->bounding_shaped != 0;
  std::free(e);
  return isShaped ? shaped & r : r;
}

bool Viewable(std::uint32_t window) {
  auto* c = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
  auto* a = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
  const bool viewable = a != nullptr && a->map_state == XCB_MAP_STATE_VIEWABLE;
  std::free(a);
  return viewable;
}

TEST_F(X11Test, AWindowSentToTheBottomAsItIsShownStaysThere) {
  // The catch comes up behind the sea: shown and sent down at once, before
  // the window manager has even taken the window over.
  QtBackend backend(Quiet());
  Platform platform(backend);
  X11Desktop& x = backend.Desktop();
  Form sea(platform, WindowId::frmSea);
  Form fish(platform, WindowId::frmFish);
  sea.Move(15.0 * 100, 15.0 * 300, 15.0 * 200, 15.0 * 10);
  // Loaded at the top of the screen, as the catch is.
  fish.Move(15.0 * 150, 0, 15.0 * 36, 15.0 * 36);
  sea.Show();
  QWidget* seaW = TopLevel("frmSea");
  ASSERT_TRUE(PumpUntil([&] { return Managed(x, seaW); }));
  fish.Show();
  fish.ZOrder(1);
  fish.Move(15.0 * 150, 15.0 * 290);
  // Until the game's step is over nothing is mapped, not at the top where
  // it was shown either: the window manager has had time to map it.
  QWidget* fishW = TopLevel("frmFish");
  const auto id = static_cast<std::uint32_t>(fishW->winId());
  x.Flush();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(Viewable(id)) << "mapped before the game's step was over";
  ASSERT_TRUE(PumpUntil([&] { return Managed(x, fishW) && Viewable(id); }));
  EXPECT_EQ(XGeometry(id), QRect(150, 290, 36, 36));
  Settle(200);
  EXPECT_LT(StackIndex(x, fishW), StackIndex(x, seaW));
}

TEST_F(X11Test, ASunkFloatIsCutAtTheUsableBottomAndComesBackBelowTheSea) {
  QtBackend backend(Quiet());
  Platform platform(backend);
  X11Desktop& x = backend.Desktop();
  const QRect area = backend.AllowedArea();
  const int bottom = area.y() + area.height();
  Form sea(platform, WindowId::frmSea);
  Form uki(platform, WindowId::frmUki);
  sea.Move(15.0 * 100, 15.0 * (bottom - 3), 15.0 * 200, 15.0 * 3);
  // Sunk: its top on the sea's, 18 of its 21 rows below the usable bottom.
  uki.Move(15.0 * 150, 15.0 * (bottom - 3), 15.0 * 5, 15.0 * 21);
  sea.Show();
  uki.Show();
  uki.ZOrder(1);
  QWidget* seaW = TopLevel("frmSea");
  QWidget* ukiW = TopLevel("frmUki");
  ASSERT_TRUE(PumpUntil([&] { return Managed(x, seaW) && Managed(x, ukiW); }));
  const auto id = static_cast<std::uint32_t>(ukiW->winId());
  // No window manager is asked to put it below the bottom: the X window
  // shows the part above it, and reaches far enough up from the screen's
  // bottom edge that none pulls it (xfwm4 holds a window whose top comes
  // within its title height of that edge); the game's whole rectangle is
  // published beside.
  EXPECT_TRUE(PumpUntil([&] { return XDrawn(id) == QRect(150, bottom - 3, 5, 3); }))
      << "X shows it at " << XDrawn(id).y() << ", " << XDrawn(id).height() << " high";
  const int screenBottom = QGuiApplication::primaryScreen()->geometry().bottom() + 1;
  EXPECT_LE(XGeometry(id).y(), screenBottom - kEdgeReach);
  EXPECT_EQ(XGeometry(id).bottom() + 1, bottom);
  EXPECT_EQ(x.ListProperty(id, "_MARIVO2_GEOMETRY"),
            (std::vector<std::uint32_t>{150, std::uint32_t(bottom - 3), 5, 21}));

  // Carried past the screen's right edge: no X window shows, the game still
  // has it shown; back on the water it comes up below the sea again.
  uki.Move(15.0 * (area.right() + 1), 15.0 * (bottom - 24));
  EXPECT_TRUE(PumpUntil([&] { return !Viewable(id); }));
  EXPECT_TRUE(uki.Visible());
  uki.Move(15.0 * 150, 15.0 * (bottom - 22));
  ASSERT_TRUE(PumpUntil([&] { return Viewable(id) && Managed(x, ukiW); }));
  EXPECT_TRUE(PumpUntil([&] { return XDrawn(id) == QRect(150, bottom - 22, 5, 21); }));
  Settle(200);
  EXPECT_LT(StackIndex(x, ukiW), StackIndex(x, seaW)) << "the float came back above the sea";
}

TEST_F(X11Test, SpritesStayOutOfTaskListsAndFocusEveryTimeTheyAreShown) {
  QtBackend backend(Quiet());
  Platform platform(backend);
  X11Desktop& x = backend.Desktop();
  Form bar(platform, WindowId::frmCon);
  Form balloon(platform, WindowId::frmC);
  bar.Move(0, 15.0 * 700, 1250, 230);
  balloon.Move(15.0 * 300, 15.0 * 600, 15.0 * 40, 15.0 * 18);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round == 0 ? "first show" : "shown again after hiding");
    bar.Show();
    balloon.Show();
    for (const char* name : {"frmCon", "frmC"}) {
      SCOPED_TRACE(name);
      QWidget* w = TopLevel(name);
      ASSERT_NE(w, nullptr);
      const auto id = static_cast<std::uint32_t>(w->winId());
      // The window manager has taken the window over (its state is current).
      ASSERT_TRUE(PumpUntil([&] { return Managed(x, w); }));
      const auto skips = [&] {
        const auto state = x.ListProperty(id, "_NET_WM_STATE");
        return Has(state, x.Atom("_NET_WM_STATE_SKIP_TASKBAR")) &&
               Has(state, x.Atom("_NET_WM_STATE_SKIP_PAGER"));
      };
      EXPECT_TRUE(PumpUntil(skips)) << "in the task list";
      EXPECT_EQ(x.ListProperty(id, "_NET_WM_WINDOW_TYPE"),
                std::vector<std::uint32_t>{x.Atom("_NET_WM_WINDOW_TYPE_NORMAL")});
      EXPECT_FALSE(Has(x.ListProperty(id, "WM_PROTOCOLS"), x.Atom("WM_TAKE_FOCUS")));
      EXPECT_EQ(x.ListProperty(id, "_COMPTON_SHADOW"), std::vector<std::uint32_t>{0});
    }
    bar.SetVisible(false);
    balloon.SetVisible(false);
    // Withdrawn: the window manager drops the windows' state. Both must be
    // gone before the next round, or it could drop the marks set for it.
    PumpUntil([&] {
      for (const char* name : {"frmCon", "frmC"}) {
        if (!x.ListProperty(static_cast<std::uint32_t>(TopLevel(name)->winId()), "WM_STATE")
                 .empty()) {
          return false;
        }
      }
      return true;
    });
  }

  // A window manager that took a sprite in without its marks (it dropped
  // them for a withdrawal it heard of only after they were set for the
  // next mapping; seen under openbox on a busy machine) or dropped them
  // later: the shown sprite asks it for them again.
  bar.Show();
  QWidget* w = TopLevel("frmCon");
  const auto id = static_cast<std::uint32_t>(w->winId());
  ASSERT_TRUE(PumpUntil([&] { return Managed(x, w); }));
  auto* c = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
  xcb_delete_property(c, id, x.Atom("_NET_WM_STATE"));
  xcb_flush(c);
  EXPECT_TRUE(PumpUntil([&] {
    const auto state = x.ListProperty(id, "_NET_WM_STATE");
    return Has(state, x.Atom("_NET_WM_STATE_SKIP_TASKBAR")) &&
           Has(state, x.Atom("_NET_WM_STATE_SKIP_PAGER"));
  })) << "the shown sprite stays in the task list";
}

TEST_F(X11Test, TheWorkAreaIsReadFromTheRootBeforeQtHasHeardOfIt) {
  // At start-up Qt's first available geometry can be the whole screen
  // although the panel's work area is published: the scene must stand on
  // the work area from its first layout. A work area set just now, with
  // no event pumped, is one Qt has not read yet.
  auto* c = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
  QtBackend backend(Quiet());
  X11Desktop& x = backend.Desktop();
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  const std::vector<std::uint32_t> before = x.ListProperty(x.Root(), "_NET_WORKAREA");
  const std::uint32_t area[4] = {0, 0, std::uint32_t(screen.width()),
                                 std::uint32_t(screen.height() - 30)};
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, x.Root(), x.Atom("_NET_WORKAREA"),
                      XCB_ATOM_CARDINAL, 32, 4, area);
  xcb_flush(c);
  const QRect allowed = backend.AllowedArea();
  EXPECT_EQ(allowed.y() + allowed.height(), screen.height() - 30);
  // As the window manager had it.
  if (before.empty()) {
    xcb_delete_property(c, x.Root(), x.Atom("_NET_WORKAREA"));
  } else {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, x.Root(), x.Atom("_NET_WORKAREA"),
                        XCB_ATOM_CARDINAL, 32, std::uint32_t(before.size()), before.data());
  }
  xcb_flush(c);
}

TEST_F(X11Test, TheSceneStandsOnABottomDockThatReservesNoRoomAndFollowsIt) {
  auto* c = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
  QtBackend backend(Quiet());
  Platform platform(backend);
  X11Desktop& x = backend.Desktop();
  if (x.ListProperty(x.Root(), "_NET_SUPPORTING_WM_CHECK").empty()) {
    GTEST_SKIP() << "no window manager lists its clients here";
  }
  int changes = 0;
  platform.SetScreenChangedHandler([&] { ++changes; });
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  const int bottom = backend.AllowedArea().bottom() + 1;
  const auto usableBottom = [&] {
    platform.DoEvents();
    return backend.AllowedArea().bottom() + 1;
  };

  // Another program's dock: a strip along the bottom edge, no strut, as an
  // autohiding panel leaves when it hides.
  const xcb_window_t dock = xcb_generate_id(c);
  const xcb_screen_t* root = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  xcb_create_window(c, XCB_COPY_FROM_PARENT, dock, root->root, 100, std::int16_t(bottom - 3), 200,
                    3, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, root->root_visual, 0, nullptr);
  const std::uint32_t type = x.Atom("_NET_WM_WINDOW_TYPE_DOCK");
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, dock, x.Atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM,
                      32, 1, &type);
  // Placed by the program itself (WM_NORMAL_HINTS: user position and size).
  std::uint32_t hints[18] = {1 | 2, 100, std::uint32_t(bottom - 3), 200, 3};
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, dock, XCB_ATOM_WM_NORMAL_HINTS,
                      XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
  xcb_map_window(c, dock);
  xcb_flush(c);
  auto place = [&](int y, int height) {
    const std::uint32_t values[2] = {std::uint32_t(y), std::uint32_t(height)};
    xcb_configure_window(c, dock, XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_HEIGHT, values);
    xcb_flush(c);
  };
  ASSERT_TRUE(PumpUntil([&] { return Viewable(dock) && XGeometry(dock).y() == bottom - 3; }))
      << "the window manager put the dock at " << XGeometry(dock).y();
  EXPECT_TRUE(PumpUntil([&] { return usableBottom() == bottom - 3; }))
      << "the strip covers the scene: usable bottom " << usableBottom();
  EXPECT_TRUE(PumpUntil([&] { return changes == 1; })) << changes << " screen changes";

  // Shown whole: the scene stands on its top, laid out once more.
  place(bottom - 40, 40);
  EXPECT_TRUE(PumpUntil([&] { return usableBottom() == bottom - 40; }))
      << "the dock covers the scene: usable bottom " << usableBottom();
  EXPECT_TRUE(PumpUntil([&] { return changes == 2; })) << changes << " screen changes";

  // Slid out below the screen to hide, where the window manager lets it:
  // it comes back whole, so the scene stays.
  place(screen.height() + 20, 40);
  if (PumpUntil([&] { return XGeometry(dock).y() == screen.height() + 20; })) {
    Settle(200);
    EXPECT_EQ(usableBottom(), bottom - 40);
    EXPECT_EQ(changes, 2);
  }

  // Gone: the scene stands on the bottom edge again.
  xcb_unmap_window(c, dock);
  xcb_flush(c);
  EXPECT_TRUE(PumpUntil([&] { return usableBottom() == bottom; }))
      << "usable bottom " << usableBottom();
  xcb_destroy_window(c, dock);
  xcb_flush(c);
}

}  // namespace
}  // namespace marivo::qt
