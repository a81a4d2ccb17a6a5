// The Qt backend on Qt's off-screen platform: screen metrics, windows and
// their flags, outlines, input, painting, the blocking pump, the modal
// loops that keep the game's timers going, and the end signals.
#include "platform/qt/qt_backend.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "catch/mod_fish.h"
#include "catch/record.h"
#include "platform/catalogue.h"
#include "platform/platform.h"
#include "platform/qt/font_selection.h"
#include "platform/qt/qt_support.h"
#include "platform/qt/qt_window.h"
#include "platform/qt/signal_watch.h"
#include "platform/qt/sway_ipc.h"
#include "platform/qt/x11_desktop.h"
#include "scene/game.h"

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

// An RGNDATA record: 32-byte header, then 16 bytes a rectangle.
std::vector<unsigned char> Record(const std::vector<PixelRect>& rects, std::uint32_t type = 1) {
  std::vector<unsigned char> data(32 + 16 * rects.size(), 0);
  auto put = [&data](std::size_t at, std::int32_t v) { std::memcpy(&data[at], &v, 4); };
  put(0, 32);
  put(4, static_cast<std::int32_t>(type));
  put(8, static_cast<std::int32_t>(rects.size()));
  put(12, static_cast<std::int32_t>(16 * rects.size()));
  for (std::size_t i = 0; i < rects.size(); ++i) {
    put(32 + 16 * i, rects[i].left);
    put(36 + 16 * i, rects[i].top);
    put(40 + 16 * i, rects[i].right);
    put(44 + 16 * i, rects[i].bottom);
  }
  return data;
}

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// A stand-in for the control bar that records what reaches it.
class BarProbe final : public Form {
 public:
  explicit BarProbe(Platform& p) : Form(p, WindowId::frmCon) {}
  Label Label1{*this, "Label1"};
  PictureBox Picture1{*this, "Picture1"};
  PictureBox Picture2{*this, "Picture2"};
  Timer Timer1{*this, "Timer1"};
  Timer Timer2{*this, "Timer2"};
  std::vector<std::string> seen;
  std::function<void()> onTick;

 protected:
  void OnLoad() override { Timer2.SetEnabled(false); }
  void OnMouseDown(Control& c, int button, int) override {
    seen.push_back("down " + std::string(c.Name()) + " " + std::to_string(button));
  }
  void OnMouseUp(Control& c, int button, int) override {
    seen.push_back("up " + std::string(c.Name()) + " " + std::to_string(button));
  }
  void OnTimer(Timer&) override {
    seen.push_back("tick");
    if (onTick) onTick();
  }
  void OnCloseRequest() override { seen.push_back("close"); }
};

class ListProbe final : public Form {
 public:
  explicit ListProbe(Platform& p) : Form(p, WindowId::frmList) {}
  ControlArray<PictureBox> Picture1{*this, "Picture1"};
  CommandButton Command1{*this, "Command1"};
  std::vector<std::string> seen;

 protected:
  void OnMouseMove(Control* over) override {
    seen.push_back(over == nullptr ? "move window" : "move " + std::to_string(over->Index()));
  }
  void OnClick(Control& c) override { seen.push_back("click " + std::string(c.Name())); }
};

struct Rig {
  explicit Rig(QtBackend::Options o = Quiet()) : backend(o), platform(backend) {}
  // Pumps for `ms` milliseconds of real time.
  void Run(std::uint32_t ms) {
    const std::uint32_t deadline = platform.TickCount() + ms;
    while (static_cast<std::int32_t>(platform.TickCount() - deadline) < 0) {
      platform.PumpUntil(deadline);
    }
  }
  QtBackend backend;
  Platform platform;
};

void Send(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button) {
  const Qt::MouseButtons held =
      type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::MouseButtons();
  QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &e);
}

// ------------------------------------------------------------ pure helpers

TEST(QtSupport, UsableBottomIsWhereTheAvailableAreaEnds) {
  // A 30-pixel task bar along the bottom of a 1024 x 768 screen.
  ScreenInfo s = ScreenInfoFrom(QRect(0, 0, 1024, 768), QRect(0, 0, 1024, 738));
  EXPECT_EQ(s.widthPx, 1024);
  EXPECT_EQ(s.heightPx, 768);
  EXPECT_EQ(s.twipsPerPixelX, 15);
  EXPECT_EQ(s.twipsPerPixelY, 15);
  EXPECT_EQ(s.captionHeight, 19);
  EXPECT_EQ(s.fullScreenClientHeight, 719);
  EXPECT_EQ(s.fullScreenClientHeight + s.captionHeight, 738);
  // A panel at the top only: the usable area still ends at the screen's foot.
  s = ScreenInfoFrom(QRect(0, 0, 1920, 1080), QRect(0, 28, 1920, 1052));
  EXPECT_EQ(s.fullScreenClientHeight + s.captionHeight, 1080);
  // No panel at all.
  s = ScreenInfoFrom(QRect(0, 0, 800, 600), QRect(0, 0, 800, 600));
  EXPECT_EQ(s.fullScreenClientHeight + s.captionHeight, 600);
}

TEST(QtSupport, TheSceneStandsOnABottomDockThatReservesNoRoom) {
  const QRect screen(0, 0, 1280, 800);
  const std::vector<QRect> alone;
  // Xfce's stock dock, 306 x 49 in the middle of the bottom edge, as the X
  // server has it. Its strip for hiding waits off the screen while it shows.
  const DockWindow shown{QRect(487, 751, 306, 49)};
  const DockWindow stripAway{QRect(-9999, -9999, 306, 3)};
  EXPECT_EQ(UnreservedDockTop(screen, alone, {stripAway, shown}), 751);
  // Hidden: the strip on the edge, the dock slid out below the screen, or
  // on its way out. It comes back whole: the scene stays where it was.
  const DockWindow strip{QRect(487, 797, 306, 3)};
  EXPECT_EQ(UnreservedDockTop(screen, alone, {strip, DockWindow{QRect(487, 869, 306, 49)}}), 751);
  EXPECT_EQ(UnreservedDockTop(screen, alone, {strip, DockWindow{QRect(487, 790, 306, 49)}}), 751);
  EXPECT_EQ(UnreservedDockTop(screen, alone, {strip}), 797);
  // A panel that reserves its room is in the work area already.
  EXPECT_EQ(UnreservedDockTop(screen, alone, {DockWindow{QRect(0, 770, 1280, 30), true}}),
            std::nullopt);
  // Not along the bottom edge: a panel at the top, one floating above the
  // edge, one down the left side, one off the screen to the right.
  EXPECT_EQ(
      UnreservedDockTop(screen, alone,
                        {DockWindow{QRect(0, 0, 1280, 27)}, DockWindow{QRect(400, 700, 300, 40)},
                         DockWindow{QRect(0, 0, 48, 800)}, DockWindow{QRect(1280, 760, 300, 40)}}),
      std::nullopt);
  // The highest of two docks on the edge.
  EXPECT_EQ(
      UnreservedDockTop(screen, alone,
                        {DockWindow{QRect(0, 770, 200, 30)}, DockWindow{QRect(900, 740, 200, 60)}}),
      740);
  // Below this screen lies another one: a dock at its top belongs there.
  const std::vector<QRect> below{QRect(0, 800, 1280, 1024)};
  EXPECT_EQ(UnreservedDockTop(screen, below, {DockWindow{QRect(0, 800, 1280, 30)}}), std::nullopt);
  EXPECT_EQ(UnreservedDockTop(screen, below, {shown}), 751);
}

TEST(QtSupport, ANativeWindowNearTheScreensEdgesReachesFarEnoughIn) {
  const QRect screen(0, 0, 1280, 800);
  const QRect allowed(0, 0, 1280, 800);
  // In the middle, or reaching far enough in already: as it is.
  EXPECT_EQ(ClearOfEdges(QRect(400, 300, 5, 21), screen, allowed, 64), QRect(400, 300, 5, 21));
  EXPECT_EQ(ClearOfEdges(QRect(0, 736, 83, 64), screen, allowed, 64), QRect(0, 736, 83, 64));
  // A sunk float's 3 rows on the screen's bottom edge: grown upward only,
  // by the whole reach; one row lower, one row lower.
  EXPECT_EQ(ClearOfEdges(QRect(381, 797, 5, 3), screen, allowed, 64), QRect(381, 733, 5, 67));
  EXPECT_EQ(ClearOfEdges(QRect(381, 798, 5, 2), screen, allowed, 64), QRect(381, 734, 5, 66));
  // The bar on that edge and the sea strip reaching to the right edge:
  // grown upward, never sideways past the screen.
  EXPECT_EQ(ClearOfEdges(QRect(0, 785, 83, 15), screen, allowed, 64), QRect(0, 721, 83, 79));
  EXPECT_EQ(ClearOfEdges(QRect(83, 797, 1197, 3), screen, allowed, 64), QRect(83, 733, 1197, 67));
  // Near the right, left and top edges: grown inward there.
  EXPECT_EQ(ClearOfEdges(QRect(1270, 400, 10, 20), screen, allowed, 64), QRect(1206, 400, 74, 20));
  EXPECT_EQ(ClearOfEdges(QRect(0, 400, 10, 20), screen, allowed, 64), QRect(0, 400, 74, 20));
  EXPECT_EQ(ClearOfEdges(QRect(500, 0, 36, 10), screen, allowed, 64), QRect(500, 0, 36, 74));
  // Never into what is not allowed (below the usable bottom), and nothing
  // from nothing.
  const QRect aboveDock(0, 0, 1280, 751);
  EXPECT_EQ(ClearOfEdges(QRect(381, 748, 5, 3), screen, aboveDock, 64), QRect(381, 684, 5, 67));
  EXPECT_EQ(ClearOfEdges(QRect(381, 780, 5, 20), screen, QRect(0, 760, 1280, 40), 64),
            QRect(381, 760, 5, 40));
  EXPECT_TRUE(ClearOfEdges(QRect(), screen, allowed, 64).isEmpty());
  // A second screen to the left: the edges are the given screen's.
  EXPECT_EQ(ClearOfEdges(QRect(1290, 790, 5, 10), QRect(1280, 0, 1024, 800),
                         QRect(1280, 0, 1024, 800), 64),
            QRect(1290, 726, 69, 74));
}

TEST(QtSupport, SwaysFocusedWorkspaceGivesTheUsableArea) {
  // Trimmed from a real GET_WORKSPACES reply: the focused one is the second.
  const std::string reply =
      R"([{"id": 4, "name": "1", "focused": false, "rect": {"x": 0, "y": 0, "width": 1280,)"
      R"( "height": 800}, "output": "HEADLESS-1", "marks": [], "percent": null},)"
      R"( {"id": 7, "name": "2 \"x\"", "focused": true, "urgent": false, "rect":)"
      R"( {"x": 0, "y": 24, "width": 1280.0, "height": 746}, "output": "HEADLESS-1"}])";
  const auto rect = FocusedWorkspaceRect(reply);
  ASSERT_TRUE(rect.has_value());
  EXPECT_EQ(rect->y + rect->height, 770);
  EXPECT_EQ(rect->width, 1280);
  // No focused workspace, a broken or truncated reply, a rect without its
  // size, nesting meant to exhaust the stack: no area.
  EXPECT_FALSE(FocusedWorkspaceRect(R"([{"focused": false, "rect": {}}])"));
  EXPECT_FALSE(FocusedWorkspaceRect(reply.substr(0, reply.size() - 3)));
  EXPECT_FALSE(FocusedWorkspaceRect(R"([{"focused": true, "rect": {"x": 0, "y": 0}}])"));
  EXPECT_FALSE(FocusedWorkspaceRect(std::string(100000, '[')));
  EXPECT_FALSE(FocusedWorkspaceRect("i3-ipc"));
}

// A message of sway's IPC: magic, payload length, type, payload.
std::string SwayMessage(std::uint32_t type, const std::string& body) {
  std::string m = "i3-ipc";
  const auto size = std::uint32_t(body.size());
  m.append(reinterpret_cast<const char*>(&size), 4);
  m.append(reinterpret_cast<const char*>(&type), 4);
  return m + body;
}
std::string Workspaces(int height) {
  return R"([{"focused": true, "rect": {"x": 0, "y": 0, "width": 1024, "height": )" +
         std::to_string(height) + "}}]";
}

// A listening socket in a folder of its own, where a test plays sway.
struct FakeSway {
  FakeSway() {
    char name[] = "/tmp/marivo-sway-XXXXXX";
    if (mkdtemp(name) == nullptr) return;
    folder = name;
    path = folder + "/ipc.sock";
    listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, path.c_str());
    if (bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listener, 2) != 0) {
      close(listener);
      listener = -1;
    }
  }
  ~FakeSway() {
    if (listener >= 0) close(listener);
    unlink(path.c_str());
    rmdir(folder.c_str());
  }
  // The next request on `c`: its type and payload; false when it closed.
  static bool Request(int c, std::uint32_t& type, std::string& body) {
    char header[14];
    if (recv(c, header, sizeof header, MSG_WAITALL) != 14) return false;
    std::uint32_t size = 0;
    std::memcpy(&size, header + 6, 4);
    std::memcpy(&type, header + 10, 4);
    body.assign(size, '\0');
    return size == 0 || recv(c, body.data(), size, MSG_WAITALL) == ssize_t(size);
  }
  static void Send(int c, const std::string& message) {
    send(c, message.data(), message.size(), MSG_NOSIGNAL);
  }
  std::string folder, path;
  int listener = -1;
};

TEST(QtSupport, SwaysSocketIsAskedForItsWorkspacesOnceAndNeverWaitedOnLong) {
  FakeSway sway;
  ASSERT_GE(sway.listener, 0);
  std::uint32_t askedType = 0;
  std::string askedBody = "?";
  // A sway that answers, then one that takes the request and says nothing.
  std::thread server([&] {
    const int c = accept(sway.listener, nullptr, nullptr);
    if (FakeSway::Request(c, askedType, askedBody)) {
      FakeSway::Send(c, SwayMessage(1, Workspaces(738)));
    }
    close(c);
    const int silent = accept(sway.listener, nullptr, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    close(silent);
  });
  const auto rect = AskSwayFocusedWorkspace(sway.path);
  ASSERT_TRUE(rect.has_value());
  EXPECT_EQ(rect->y + rect->height, 738);
  // The request: GET_WORKSPACES (1), no payload.
  EXPECT_EQ(askedType, 1u);
  EXPECT_EQ(askedBody, "");

  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(AskSwayFocusedWorkspace(sway.path));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1200));
  server.join();
  EXPECT_FALSE(AskSwayFocusedWorkspace(sway.path + ".gone"));
}

// Runs the event loop until `done` or two seconds have passed.
bool PumpUntil(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (!done() && std::chrono::steady_clock::now() < end) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  }
  return done();
}

TEST(QtSupport, SwaysBarIsFollowedThroughItsEventsOnlyWhenOneComes) {
  FakeSway sway;
  ASSERT_GE(sway.listener, 0);
  // sway as it behaves: it tells of the bar's new height before the bar
  // has taken it, so the first two answers after the event are still old.
  std::vector<std::string> subscribed;
  std::atomic<int> asked{0}, askedWhileIdle{-1}, askedAfterNews{-1};
  std::promise<void> idleOver, newsSeen, garbageSeen;
  std::thread server([&] {
    const int c = accept(sway.listener, nullptr, nullptr);
    // A request that never comes fails the test instead of hanging it.
    const timeval patience{3, 0};
    setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    std::uint32_t type = 0;
    std::string body;
    const int heights[] = {770, 770, 770, 760};
    auto answer = [&] {
      while (FakeSway::Request(c, type, body)) {
        if (type == 2) {
          subscribed.push_back(body);
          // sway 1.7 knows no output events.
          const bool known = body.find("output") == std::string::npos;
          FakeSway::Send(c,
                         SwayMessage(2, known ? R"({"success": true})" : R"({"success": false})"));
          continue;
        }
        const int n = asked++;
        FakeSway::Send(c, SwayMessage(1, Workspaces(heights[n < 3 ? n : 3])));
        return;
      }
    };
    answer();  // the first reading, once subscribed
    // Nothing happens on the desktop: nothing is asked.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    char pending = 0;
    askedWhileIdle = asked.load() + (recv(c, &pending, 1, MSG_PEEK | MSG_DONTWAIT) > 0 ? 1 : 0);
    idleOver.set_value();
    FakeSway::Send(c, SwayMessage(0x80000004u, R"({"id": "bar-0", "height": 40})"));
    for (int i = 0; i < 3; ++i) answer();
    newsSeen.get_future().wait_for(std::chrono::seconds(3));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    askedAfterNews = asked.load();
    // Then something that is not sway's protocol: the watch ends before
    // the connection does.
    std::string foreign = SwayMessage(1, Workspaces(700));
    foreign[2] = 'X';
    FakeSway::Send(c, foreign);
    garbageSeen.get_future().wait_for(std::chrono::seconds(3));
    close(c);
  });

  int bottom = 770;
  std::vector<int> reported;
  SwayWatch watch(sway.path, [&](const IpcRect& r) {
    reported.push_back(r.y + r.height);
    if (r.y + r.height == bottom) return false;
    bottom = r.y + r.height;
    return true;
  });
  ASSERT_TRUE(watch.Watching());
  auto idle = idleOver.get_future();
  EXPECT_TRUE(PumpUntil(
      [&] { return idle.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
  EXPECT_EQ(askedWhileIdle.load(), 1);
  EXPECT_TRUE(PumpUntil([&] { return bottom == 760; }));
  newsSeen.set_value();
  EXPECT_TRUE(PumpUntil([&] { return !watch.Watching(); }));
  garbageSeen.set_value();
  server.join();
  EXPECT_EQ(reported, (std::vector<int>{770, 770, 770, 760}));
  // Asked once the event came, and again while the answer was old; not
  // once more after the news.
  EXPECT_EQ(askedAfterNews.load(), 4);
  ASSERT_EQ(subscribed.size(), 2u);
  EXPECT_NE(subscribed[0].find("barconfig_update"), std::string::npos);
  EXPECT_NE(subscribed[0].find("bar_state_update"), std::string::npos);
  EXPECT_NE(subscribed[0].find("workspace"), std::string::npos);
}

TEST(QtSupport, HandSetScaleFactorsBecomeWholeNumbersHalvesUp) {
  EXPECT_EQ(WholeScaleFactors("1"), "1");
  EXPECT_EQ(WholeScaleFactors("1.25"), "1");
  EXPECT_EQ(WholeScaleFactors("1.5"), "2");
  EXPECT_EQ(WholeScaleFactors("2"), "2");
  EXPECT_EQ(WholeScaleFactors("2.5"), "3");
  EXPECT_EQ(WholeScaleFactors("0.5"), "1");
  EXPECT_EQ(WholeScaleFactors("0.3"), "1");
  // Per-screen lists, with and without names; nonsense is left to Qt.
  EXPECT_EQ(WholeScaleFactors("1.5;2.75"), "2;3");
  EXPECT_EQ(WholeScaleFactors("HDMI-1=1.25;DP-2=3"), "HDMI-1=1;DP-2=3");
  EXPECT_EQ(WholeScaleFactors("big;1.5x"), "big;1.5x");
}

TEST(QtSupport, SettingsFolderFollowsXdgThenHome) {
  EXPECT_EQ(UserSettingsDirFrom("/x/cfg", "/home/a"), "/x/cfg/marivo2");
  // A relative XDG_CONFIG_HOME is invalid and ignored.
  EXPECT_EQ(UserSettingsDirFrom("cfg", "/home/a"), "/home/a/.config/marivo2");
  EXPECT_EQ(UserSettingsDirFrom(nullptr, "/home/a"), "/home/a/.config/marivo2");
  EXPECT_EQ(UserSettingsDirFrom("", ""), "");
  EXPECT_EQ(UserSettingsDirFrom(nullptr, nullptr), "");
}

TEST(QtSupport, JapaneseFacesUseTheIpaFontsAndTheClockFitsItsLabel) {
  const QStringList installed = QFontDatabase::families();
  const QFont gothic = FontFor({"ＭＳ Ｐゴシック", 8.25, false});
  const QFont mincho = FontFor({"ＭＳ Ｐ明朝", 11.25, true});
  if (installed.contains("IPAPGothic")) {
    EXPECT_EQ(QFontInfo(gothic).family(), "IPAPGothic");
  }
  if (installed.contains("IPAPMincho")) {
    EXPECT_EQ(QFontInfo(mincho).family(), "IPAPMincho");
  }
  EXPECT_TRUE(mincho.bold());
  // Sizes are points at 96 dots per inch: 8.25 pt is 11 pixels.
  EXPECT_EQ(gothic.pixelSize(), 11);
  EXPECT_EQ(mincho.pixelSize(), 15);

  // The clock label is 945 twips (63 pixels) wide.
  const QString clock = "12/07 13:05";
  const QFont fitted = FitFont(gothic, clock, 63);
  EXPECT_LE(QFontMetrics(fitted).horizontalAdvance(clock), 63);
  EXPECT_GE(fitted.pixelSize() * 10, 11 * 7);
  // A text that fits keeps its size.
  EXPECT_EQ(FitFont(gothic, "12", 63).pixelSize(), 11);

  QtBackend backend(Quiet());
  const int one = backend.TextWidthPx({"ＭＳ Ｐゴシック", 8.25, false}, "釣");
  const int three = backend.TextWidthPx({"ＭＳ Ｐゴシック", 8.25, false}, "釣果履");
  EXPECT_GT(one, 0);
  EXPECT_GT(three, 2 * one);
}

// The fonts fontconfig would try, best first, for a request made the way Qt
// asks for a family and its fallbacks (with a language for kana).
std::vector<FcPattern*> FontsInOrder(FcConfig* config, const std::string& family,
                                     const char* lang) {
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  if (lang != nullptr) FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(lang));
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultMatch;
  FcFontSet* sorted = FcFontSort(config, pattern, FcFalse, nullptr, &result);
  FcPatternDestroy(pattern);
  std::vector<FcPattern*> fonts;
  for (int i = 0; sorted != nullptr && i < sorted->nfont; ++i) {
    FcPatternReference(sorted->fonts[i]);
    fonts.push_back(sorted->fonts[i]);
  }
  if (sorted != nullptr) FcFontSetDestroy(sorted);
  return fonts;
}

// The family of the first of `fonts` that has `c`: the one that draws it.
std::string FamilyDrawing(const std::vector<FcPattern*>& fonts, char32_t c) {
  for (FcPattern* font : fonts) {
    FcCharSet* chars = nullptr;
    FcChar8* family = nullptr;
    if (FcPatternGetCharSet(font, FC_CHARSET, 0, &chars) == FcResultMatch &&
        FcCharSetHasChar(chars, c) &&
        FcPatternGetString(font, FC_FAMILY, 0, &family) == FcResultMatch) {
      return reinterpret_cast<const char*>(family);
    }
  }
  return "";
}

// The fonts `config` has read, as file and face, all or only those for
// Japanese.
std::set<std::string> FontsRead(FcConfig* config, bool japaneseOnly) {
  std::set<std::string> read;
  FcFontSet* fonts = FcConfigGetFonts(config, FcSetSystem);
  for (int i = 0; fonts != nullptr && i < fonts->nfont; ++i) {
    FcLangSet* langs = nullptr;
    FcChar8* file = nullptr;
    int face = 0;
    if (japaneseOnly &&
        (FcPatternGetLangSet(fonts->fonts[i], FC_LANG, 0, &langs) != FcResultMatch ||
         FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>("ja")) != FcLangEqual)) {
      continue;
    }
    FcPatternGetString(fonts->fonts[i], FC_FILE, 0, &file);
    FcPatternGetInteger(fonts->fonts[i], FC_INDEX, 0, &face);
    read.insert(std::string(file != nullptr ? reinterpret_cast<const char*>(file) : "") + "#" +
                std::to_string(face));
  }
  return read;
}

TEST(QtFonts, OnlyTheGamesFontsAreReadAndEveryTextIsDrawnInTheSameFamilies) {
  // Every character the game shows: the windows' texts, the catches'
  // names, the messages, and whatever ASCII a path or a version may hold.
  std::u32string shown;
  auto add = [&shown](std::string_view text) {
    for (const char32_t c :
         QString::fromUtf8(text.data(), qsizetype(text.size())).toStdU32String()) {
      if (shown.find(c) == std::u32string::npos) shown += c;
    }
  };
  for (const WindowDesign& design : AllDesigns()) {
    add(design.caption);
    for (const ControlDesign& control : design.controls) add(control.caption);
  }
  for (int kind = 0; kind < kFishKinds; ++kind) add(FishName(kind));
  for (const char* text :
       {kSaveFailedMessage, "マリヴォ２はすでに起動しています。", "釣果をクリアしていいですか？",
        "HIT!!!", "バレタ！！", "はい", "いいえ"}) {
    add(text);
  }
  for (char c = 0x20; c < 0x7F; ++c) add(std::string(1, c));

  // Qt's default font draws the tooltips.
  const std::vector<std::string> defaults{QApplication::font().family().toStdString(),
                                          "Sans Serif"};
  FcConfig* all = FcInitLoadConfigAndFonts();
  FcConfig* game = GameFontConfig(defaults);
  ASSERT_NE(all, nullptr);
  ASSERT_NE(game, nullptr) << "the IPA fonts are installed (tools/setup.sh)";
  const std::set<std::string> allFonts = FontsRead(all, false);
  const std::set<std::string> gameFonts = FontsRead(game, false);
  // Fontconfig always brings DejaVu Sans Mono, which the game never uses;
  // nothing comes in that the user's configuration leaves out.
  EXPECT_LT(gameFonts.size(), allFonts.size());
  EXPECT_TRUE(std::includes(allFonts.begin(), allFonts.end(), gameFonts.begin(), gameFonts.end()));
  // Every font for Japanese stays (Qt's last resort is the first of them).
  EXPECT_EQ(FontsRead(game, true), FontsRead(all, true));

  int checked = 0;
  for (const std::string& family : RequestedFamilies(defaults)) {
    for (const char* lang : {static_cast<const char*>(nullptr), "ja"}) {
      const std::vector<FcPattern*> before = FontsInOrder(all, family, lang);
      const std::vector<FcPattern*> after = FontsInOrder(game, family, lang);
      for (const char32_t c : shown) {
        EXPECT_EQ(FamilyDrawing(after, c), FamilyDrawing(before, c))
            << "U+" << std::hex << std::uint32_t(c) << " asked in " << family << " ("
            << (lang != nullptr ? lang : "no language") << ")";
        ++checked;
      }
      for (FcPattern* font : before) FcPatternDestroy(font);
      for (FcPattern* font : after) FcPatternDestroy(font);
    }
  }
  EXPECT_GT(checked, 1000);
  std::printf("fonts read: %zu of %zu\n", gameFonts.size(), allFonts.size());
  FcConfigDestroy(game);
  FcConfigDestroy(all);
}

TEST(QtFonts, WithoutAJapaneseFontNothingIsLeftOutAndOddNamesStayText) {
  // A configuration that knows only DejaVu (which fontconfig always has).
  const std::string folder = ::testing::TempDir() + "fonts-without-japanese";
  std::filesystem::create_directories(folder);
  const std::string file = folder + "/fonts.conf";
  std::ofstream(file) << "<?xml version=\"1.0\"?>\n<fontconfig>"
                         "<dir>/usr/share/fonts/truetype/dejavu</dir>"
                         "<cachedir>"
                      << folder << "/cache</cachedir></fontconfig>\n";
  const char* before = std::getenv("FONTCONFIG_FILE");
  const std::string saved = before != nullptr ? before : "";
  setenv("FONTCONFIG_FILE", file.c_str(), 1);
  FcConfig* game = GameFontConfig({"Sans Serif"});
  if (before != nullptr) {
    setenv("FONTCONFIG_FILE", saved.c_str(), 1);
  } else {
    unsetenv("FONTCONFIG_FILE");
  }
  EXPECT_EQ(game, nullptr) << "no restriction where no font covers Japanese";
  if (game != nullptr) FcConfigDestroy(game);

  // A family name is text in the rule, whatever it holds.
  FcConfig* config = FcConfigCreate();
  const std::string rule = KeepOnlyRule({"A & B", "<C> \"D\" 'E'"});
  EXPECT_TRUE(FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(rule.c_str()),
                                             FcFalse));
  FcConfigDestroy(config);
}

TEST(QtSupport, PicturesAndOutlinesConvertExactly) {
  const std::uint32_t px[] = {0xFF0000, 0x00FF00, 0x0000FF, 0x123456};
  const assets::Image image{2, 2, px, "probe"};
  const QImage q = ToQImage(image);
  EXPECT_EQ(q.size(), QSize(2, 2));
  EXPECT_EQ(q.pixel(0, 0), 0xFFFF0000u);
  EXPECT_EQ(q.pixel(1, 1), 0xFF123456u);
  EXPECT_EQ(ToQColor(kButtonFace, QColor(1, 2, 3)), QColor(1, 2, 3));
  EXPECT_EQ(ToQColor(kBlue, QColor(1, 2, 3)), QColor(0, 0, 255));
  const QRegion r = ToQRegion({{0, 0, 2, 1}, {1, 1, 3, 3}});
  EXPECT_TRUE(r.contains(QPoint(1, 0)));
  EXPECT_TRUE(r.contains(QPoint(2, 2)));
  EXPECT_FALSE(r.contains(QPoint(0, 2)));
  EXPECT_FALSE(r.contains(QPoint(2, 0)));
}

// ---------------------------------------------------------------- windows

TEST(QtWindows, SpritesAreFramelessToolWindowsThatNeverTakeTheFocus) {
  Rig rig;
  BarProbe bar(rig.platform);
  Form man(rig.platform, WindowId::frmMan);
  Form sea(rig.platform, WindowId::frmSea);
  bar.Load();
  man.Load();
  sea.Load();
  for (const char* name : {"frmCon", "frmMan", "frmSea"}) {
    SCOPED_TRACE(name);
    QWidget* w = TopLevel(name);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(w->windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowDoesNotAcceptFocus);
    EXPECT_TRUE(w->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_FALSE(w->isVisible());  // created hidden
  }
  // The bar's outer size in whole pixels: 1250 x 230 twips is 83 x 15.
  bar.Move(0, 15.0 * 500);
  bar.SetWidth(1250);
  bar.SetHeight(230);
  EXPECT_EQ(TopLevel("frmCon")->geometry(), QRect(0, 500, 83, 15));
}

TEST(QtWindows, DialogsHaveATitleBarACloseButtonAndTheirDesignClientSize) {
  Rig rig;
  ListProbe list(rig.platform);
  list.Load();
  QWidget* w = TopLevel("frmList");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->windowFlags() & Qt::WindowType_Mask, Qt::Dialog);
  EXPECT_TRUE(w->windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(w->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_EQ(w->windowTitle(), "Marivo");
  // Client 5070 x 4020 twips: 338 x 268 pixels, not resizable.
  EXPECT_EQ(w->size(), QSize(338, 268));
  EXPECT_EQ(w->minimumSize(), w->maximumSize());
  // Command buttons are real buttons at their design place.
  auto* close = w->findChild<QPushButton*>();
  ASSERT_NE(close, nullptr);
  EXPECT_EQ(close->text(), "閉じる");
  EXPECT_EQ(close->geometry(), QRect(11, 234, 72, 28));
}

TEST(QtWindows, AnOutlineBecomesTheMaskAndReplacesTheLastOne) {
  Rig rig;
  Form man(rig.platform, WindowId::frmMan);
  // Away from the screen's edges (near them the native window reaches
  // further in than the outline).
  man.Move(15.0 * 100, 15.0 * 100, 750, 720);
  QWidget* w = TopLevel("frmMan");
  ASSERT_NE(w, nullptr);

  auto first = Record({{0, 0, 10, 5}, {20, 30, 51, 48}});
  ASSERT_EQ(man.SetShape(first.data(), std::uint32_t(first.size()), 0), ShapeResult::Ok);
  EXPECT_TRUE(w->windowHandle()->mask().contains(QPoint(9, 4)));
  EXPECT_TRUE(w->windowHandle()->mask().contains(QPoint(50, 47)));
  EXPECT_FALSE(w->windowHandle()->mask().contains(QPoint(10, 0)));
  EXPECT_FALSE(w->windowHandle()->mask().contains(QPoint(15, 20)));

  auto second = Record({{5, 5, 6, 6}});
  ASSERT_EQ(man.SetShape(second.data(), std::uint32_t(second.size()), 1), ShapeResult::Ok);
  EXPECT_EQ(w->windowHandle()->mask(), QRegion(5, 5, 1, 1));  // no union with the old outline

  // Records that cannot make a region, and one whose region is empty.
  EXPECT_EQ(man.SetShape(first.data(), 0, 60), ShapeResult::RegionFailed);
  auto wrongType = Record({{0, 0, 4, 4}}, 2);
  EXPECT_EQ(man.SetShape(wrongType.data(), std::uint32_t(wrongType.size()), 2),
            ShapeResult::RegionFailed);
  EXPECT_EQ(man.SetShape(first.data(), 40, 3), ShapeResult::RegionFailed);  // cut short
  auto degenerate = Record({{4, 4, 4, 9}});
  EXPECT_EQ(man.SetShape(degenerate.data(), std::uint32_t(degenerate.size()), 4),
            ShapeResult::WindowRefused);
  EXPECT_EQ(w->windowHandle()->mask(), QRegion(5, 5, 1, 1));
}

TEST(QtWindows, WhatASpriteCoversStaysInsideItsRectangle) {
  // Under XWayland what our windows above a window cover is left out of its
  // picture. An outline may reach past its window's edge (the angler's
  // frames reach one column past his 50): only the window shows it, so the
  // sea beside him must not lose that column.
  Rig rig;
  WindowState seaState, manState;
  QtWindow sea(rig.backend, Design(WindowId::frmSea), seaState);
  QtWindow man(rig.backend, Design(WindowId::frmMan), manState);
  sea.SetBounds(83, 200, 300, 3);
  man.SetBounds(83, 155, 50, 48);
  ASSERT_TRUE(man.SetRegion(std::make_unique<QtRegion>(QRegion(0, 40, 51, 8)), 0));
  sea.SetVisible(true);
  man.SetVisible(true);
  rig.platform.DoEvents();
  EXPECT_EQ(rig.backend.CoveredAbove(&sea), QRegion(83, 195, 50, 8));
  EXPECT_EQ(rig.backend.CoveredAbove(&man), QRegion());
}

// ------------------------------------------------------------------ input

TEST(QtWindows, ASpritePastTheScreensEdgesIsCutAndShowsOnlyItsOwnPixels) {
  Rig rig;
  Form man(rig.platform, WindowId::frmMan);
  const QRect area = rig.backend.AllowedArea();
  ASSERT_FALSE(area.isEmpty());
  man.Move(15.0 * 100, 15.0 * 100, 750, 720);
  auto outline = Record({{0, 0, 10, 5}, {20, 30, 50, 48}});
  ASSERT_EQ(man.SetShape(outline.data(), std::uint32_t(outline.size()), 0), ShapeResult::Ok);
  man.Show();
  QWidget* w = TopLevel("frmMan");
  ASSERT_NE(w, nullptr);
  // Whole on the screen: the picture a person sees, outside the outline
  // transparent.
  const QImage whole = w->grab().toImage();
  ASSERT_EQ(whole.size(), QSize(50, 48));
  EXPECT_EQ(whole.pixelColor(15, 20).alpha(), 0);

  // 20 columns past the left edge, 8 rows below the usable bottom (here
  // the screen's): the rest shows the same pixels where they were. Its
  // native window reaches kEdgeReach pixels in from both edges, so that no
  // window manager pulls it, and nothing of that is drawn or shaped.
  const double left = 15.0 * (area.left() - 20), top = 15.0 * (area.bottom() + 1 - 40);
  man.Move(left, top);
  const int up = kEdgeReach;
  EXPECT_EQ(w->geometry(), QRect(area.left(), area.bottom() + 1 - 40 - kEdgeReach, 30 + kEdgeReach,
                                 40 + kEdgeReach));
  const QImage cut = w->grab().toImage();
  EXPECT_EQ(cut.copy(0, up, 30, 40), whole.copy(20, 0, 30, 40));
  const QImage reached = cut.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < reached.height(); ++y) {
    for (int x = 0; x < reached.width(); ++x) {
      if (x >= 30 || y < up) {
        ASSERT_EQ(reached.pixelColor(x, y).alpha(), 0) << x << "," << y;
      }
    }
  }
  EXPECT_EQ(w->windowHandle()->mask(), QRegion(0, up + 30, 30, 10));
  // The game's own numbers are untouched.
  EXPECT_EQ(man.Left(), left);
  EXPECT_EQ(man.Top(), top);

  // Nothing of it on the screen: no native window, yet shown for the game;
  // back on the screen, it is there again.
  man.Move(15.0 * (area.right() + 1), top);
  EXPECT_FALSE(w->isVisible());
  EXPECT_TRUE(man.Visible());
  man.Move(15.0 * 100, 15.0 * 100);
  rig.platform.DoEvents();
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->grab().toImage(), whole);
  EXPECT_EQ(w->windowHandle()->mask(), QRegion(0, 0, 10, 5) + QRegion(20, 30, 30, 18));

  // Shown and moved on in one step (the catch is shown where it was loaded
  // and at once put at the water line): its native window is mapped only
  // when the step is over, and only at the last place, so no window
  // manager ever shows it at the first.
  man.SetVisible(false);
  man.Move(15.0 * 100, 0);
  man.Show();
  man.Move(15.0 * 100, 15.0 * 200);
  EXPECT_FALSE(w->isVisible());
  rig.platform.DoEvents();
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->geometry(), QRect(100, 200, 50, 48));
  // Shown and hidden again in one step: never mapped.
  man.SetVisible(false);
  man.Show();
  man.SetVisible(false);
  rig.platform.DoEvents();
  EXPECT_FALSE(w->isVisible());
}

TEST(QtInput, TheBarsButtonReportsEveryButtonAndTheClockTakesNoPresses) {
  Rig rig;
  BarProbe bar(rig.platform);
  bar.Move(0, 0, 1250, 230);
  bar.Show();
  QWidget* w = TopLevel("frmCon");
  ASSERT_NE(w, nullptr);
  // The button's client rectangle is x 66..80, y -2..17; the client area
  // starts one pixel in, inside the bar's thin border.
  const QPoint onButton(1 + 70, 1 + 5);
  const QPoint onClock(1 + 10, 1 + 5);
  Send(w, QEvent::MouseButtonPress, onButton, Qt::LeftButton);
  Send(w, QEvent::MouseButtonRelease, onButton, Qt::LeftButton);
  Send(w, QEvent::MouseButtonPress, onButton, Qt::RightButton);
  Send(w, QEvent::MouseButtonRelease, onButton, Qt::RightButton);
  Send(w, QEvent::MouseButtonPress, onButton, Qt::MiddleButton);
  // The release belongs to the control that took the press, wherever it is.
  Send(w, QEvent::MouseButtonRelease, onClock, Qt::MiddleButton);
  // The clock and the window itself take no presses.
  Send(w, QEvent::MouseButtonPress, onClock, Qt::LeftButton);
  Send(w, QEvent::MouseButtonRelease, onClock, Qt::LeftButton);
  rig.platform.DoEvents();
  const std::vector<std::string> want{"down Picture1 1", "up Picture1 1",   "down Picture1 2",
                                      "up Picture1 2",   "down Picture1 4", "up Picture1 4"};
  EXPECT_EQ(bar.seen, want);

  // While charging, a press on the gauge names the gauge, not the button.
  bar.Picture2.SetVisible(true);
  bar.seen.clear();
  Send(w, QEvent::MouseButtonPress, QPoint(1 + 10, 1 + 6), Qt::LeftButton);
  rig.platform.DoEvents();
  EXPECT_EQ(bar.seen, std::vector<std::string>{"down Picture2 1"});
}

TEST(QtInput, TheCloseButtonAsksTheGameAndDoesNotClose) {
  Rig rig;
  ListProbe list(rig.platform);
  list.Show();
  QWidget* w = TopLevel("frmList");
  ASSERT_NE(w, nullptr);
  EXPECT_FALSE(w->close());
  EXPECT_TRUE(w->isVisible());
  rig.platform.DoEvents();
  // The window layer's default for a close request unloads the window.
  EXPECT_FALSE(list.IsLoaded());
  EXPECT_EQ(TopLevel("frmList"), nullptr);
}

TEST(QtInput, MovesOverTheHistoryNameThePictureAndClicksReachTheGame) {
  Rig rig;
  ListProbe list(rig.platform);
  list.Show();
  list.Picture1(9).SetVisible(false);
  QWidget* w = TopLevel("frmList");
  ASSERT_NE(w, nullptr);
  auto move = [w](QPoint at) {
    QMouseEvent e(QEvent::MouseMove, QPointF(at), w->mapToGlobal(QPointF(at)), Qt::NoButton,
                  Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
  };
  // Element 10: column 2, row 1 -> left 45 + 1260 twips, top 345 + 630.
  move(QPoint((45 + 1260) / 15 + 5, (345 + 630) / 15 + 5));
  // Element 9 is hidden: the move goes to the window.
  move(QPoint((45 + 630) / 15 + 5, (345 + 630) / 15 + 5));
  // Over the title label: the label keeps it.
  move(QPoint(150, 6));
  w->findChild<QPushButton*>()->click();
  rig.platform.DoEvents();
  const std::vector<std::string> want{"move 10", "move window", "click Command1"};
  EXPECT_EQ(list.seen, want);
}

// --------------------------------------------------------------- painting

TEST(QtPainting, PixelArtStaysCrispOnADenseScreenAndTheGaugeIsClipped) {
  Rig rig;
  Form man(rig.platform, WindowId::frmMan);
  man.Move(0, 0, 750, 720);
  man.SetPicture(&assets::ManFrame(0));
  QWidget* w = TopLevel("frmMan");
  ASSERT_NE(w, nullptr);
  QImage twice(100, 96, QImage::Format_RGB32);
  twice.setDevicePixelRatio(2.0);
  w->render(&twice);
  const assets::Image& frame = assets::ManFrame(0);
  int mismatches = 0;
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 50; ++x) {
      const QRgb want = 0xFF000000u | frame.At(x, y);
      for (int d = 0; d < 4; ++d) {
        if (twice.pixel(2 * x + d % 2, 2 * y + d / 2) != want) ++mismatches;
      }
    }
  }
  EXPECT_EQ(mismatches, 0) << "each picture pixel is a uniform 2 x 2 block";

  BarProbe bar(rig.platform);
  bar.Move(0, 0, 1250, 230);
  bar.Label1.SetVisible(false);
  bar.Picture2.SetVisible(true);
  bar.Picture2.SetWidth(10 * 18);  // gauge level 10: 12 pixels of the 60
  QWidget* bw = TopLevel("frmCon");
  QImage out(bw->size(), QImage::Format_RGB32);
  bw->render(&out);
  const assets::Image& gauge = assets::GaugePicture();
  // Client origin (1, 1); the gauge box starts at 3, 4 within the client.
  EXPECT_EQ(out.pixel(1 + 3 + 5, 1 + 4 + 1), 0xFF000000u | gauge.At(5, 1));
  const QRgb face = bw->palette().color(QPalette::Window).rgb();
  EXPECT_EQ(out.pixel(1 + 3 + 12, 1 + 4 + 1), face);
  EXPECT_EQ(out.pixel(1 + 3 + 30, 1 + 4 + 1), face);
  // The button at the right end is blue, the thin border is drawn.
  EXPECT_EQ(out.pixel(1 + 70, 1 + 5), 0xFF0000FFu);
  EXPECT_NE(out.pixel(0, 7), face);
}

TEST(QtPainting, TheClockIsDrawnOnceTheFontListIsReadInTheBackground) {
  // The font list is held back until the bar has been shown and painted.
  auto gate = std::make_shared<std::promise<void>>();
  QtBackend::Options o = Quiet();
  o.fontsInBackground = true;
  o.beforeFontLoad = [held = gate->get_future().share()] { held.wait(); };
  Rig rig(o);
  struct Opener {
    std::shared_ptr<std::promise<void>> gate;
    bool open = false;
    void Open() {
      if (!open) gate->set_value();
      open = true;
    }
    ~Opener() { Open(); }  // before the backend waits for its thread
  } opener{gate};

  BarProbe bar(rig.platform);
  bar.Move(0, 0, 1250, 230);
  bar.Label1.SetCaption("12/07 13:05");
  bar.Show();
  rig.Run(100);
  QWidget* bw = TopLevel("frmCon");
  ASSERT_NE(bw, nullptr);
  // What the window shows, from its own backing store (not painted anew).
  auto shown = [bw] {
    return QGuiApplication::primaryScreen()
        ->grabWindow(bw->winId())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
  };
  EXPECT_FALSE(rig.backend.FontsReady());
  const QImage without = shown();

  opener.Open();
  for (int i = 0; i < 500 && !rig.backend.FontsReady(); ++i) rig.Run(20);
  ASSERT_TRUE(rig.backend.FontsReady());
  rig.Run(100);
  const QImage with = shown();
  ASSERT_EQ(with.size(), without.size());
  int changed = 0;
  for (int y = 0; y < with.height(); ++y) {
    for (int x = 0; x < with.width(); ++x) changed += with.pixel(x, y) != without.pixel(x, y);
  }
  EXPECT_GT(changed, 20) << "the clock's digits appear once the fonts are read";
}

// ------------------------------------------------------------------- pump

TEST(QtPump, WaitingSleepsUntilTheDeadlineOrTheNextInput) {
  QtBackend backend(Quiet());
  struct Sink final : EventSink {
    std::vector<PlatformEvent> events;
    void Post(const PlatformEvent& e) override { events.push_back(e); }
    void RunDueTimers() override {}
  } sink;
  backend.Attach(sink);

  const double cpu0 = CpuSeconds();
  const std::uint32_t t0 = backend.TickCount();
  backend.WaitEvents(t0 + 300);
  const std::uint32_t waited = backend.TickCount() - t0;
  EXPECT_GE(waited, 300u);
  EXPECT_LT(waited, 600u);
  EXPECT_LT(CpuSeconds() - cpu0, 0.05) << "the wait must block, not spin";

  // An input wakes it long before the deadline.
  QTimer::singleShot(40, [&backend] {
    PlatformEvent e;
    e.kind = PlatformEvent::Kind::Click;
    backend.Post(e);
  });
  const std::uint32_t t1 = backend.TickCount();
  backend.WaitEvents(t1 + 5000);
  EXPECT_LT(backend.TickCount() - t1, 1000u);
  ASSERT_EQ(sink.events.size(), 1u);
  EXPECT_EQ(sink.events[0].kind, PlatformEvent::Kind::Click);

  // A deadline already past returns at once.
  const std::uint32_t t2 = backend.TickCount();
  backend.WaitEvents(t2 - 10);
  EXPECT_LT(backend.TickCount() - t2, 50u);
}

TEST(QtPump, TheTickCountWrapsAround) {
  QtBackend::Options o = Quiet();
  o.startTick = 0xFFFFFFFFu - 50;
  QtBackend backend(o);
  const std::uint32_t before = backend.TickCount();
  EXPECT_GE(before, 0xFFFFFFFFu - 50);
  backend.WaitEvents(before + 120);  // a deadline past the wrap
  const std::uint32_t after = backend.TickCount();
  EXPECT_LT(after, 1000u);
  EXPECT_GE(after - before, 120u);
}

TEST(QtPump, TimersKeepRunningWhileThePopupMenuIsOpen) {
  Rig rig;
  BarProbe bar(rig.platform);
  Form menuHolder(rig.platform, WindowId::frmMenu);
  bar.Move(0, 0, 1250, 230);
  bar.Timer1.SetEnabled(true);  // 100 ms
  bar.Show();
  rig.platform.DoEvents();
  // Dismiss the menu after 450 ms from inside its own loop.
  QTimer::singleShot(450, [] {
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
  });
  const std::vector<MenuEntry> entries{{1, "釣果履歴", false}, {2, "-", true}, {7, "終了", false}};
  const int chosen = rig.backend.PopupMenu(nullptr, entries);
  EXPECT_EQ(chosen, -1);
  const auto ticks = std::count(bar.seen.begin(), bar.seen.end(), "tick");
  EXPECT_GE(ticks, 3);
  EXPECT_LE(ticks, 5);
  EXPECT_GT(rig.backend.ModalTimerRuns(), 0);

  // Choosing an entry returns its control, whatever its place in the menu.
  QTimer::singleShot(50, [] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) return;
    for (QAction* a : menu->actions()) {
      if (a->text() == "終了") menu->setActiveAction(a);
    }
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(menu, &enter);
  });
  EXPECT_EQ(rig.backend.PopupMenu(nullptr, entries), 7);
}

TEST(QtPump, EndInsideThePopupClosesItAndUnwinds) {
  Rig rig;
  BarProbe bar(rig.platform);
  Form menu(rig.platform, WindowId::frmMenu);
  MenuItem mpop(menu, "mpop");
  bar.Move(0, 0, 1250, 230);
  bar.Show();
  bar.onTick = [&rig] { rig.platform.End(); };
  bar.Timer1.SetEnabled(true);
  // Should the End not close the menu, this does, and the test fails below.
  bool closedByHand = false;
  QTimer::singleShot(2000, [&closedByHand] {
    if (QWidget* popup = QApplication::activePopupWidget()) {
      closedByHand = true;
      popup->close();
    }
  });
  const std::uint32_t t0 = rig.platform.TickCount();
  EXPECT_THROW(bar.PopupMenu(mpop), ProgramEnded);
  EXPECT_FALSE(closedByHand);
  EXPECT_LT(rig.platform.TickCount() - t0, 1000u);
  EXPECT_TRUE(rig.backend.Ended());
}

TEST(QtPump, MessageBoxesSpeakJapaneseAndReturnThePressedButton) {
  QtBackend backend(Quiet());
  auto answer = [](const char* text) {
    QTimer::singleShot(30, [text] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      for (QAbstractButton* b : box->buttons()) {
        if (b->text() == text) b->click();
      }
    });
  };
  QString caption, shownText;
  QStringList buttons;
  QTimer::singleShot(10, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    caption = box->windowTitle();
    shownText = box->text();
    for (QAbstractButton* b : box->buttons()) buttons << b->text();
  });
  answer("はい");
  EXPECT_EQ(
      backend.MessageBox("釣果をクリアしていいですか？", MessageStyle::YesNoQuestion, "Marivo2"),
      MessageResult::Yes);
  EXPECT_EQ(caption, "Marivo2");
  EXPECT_EQ(shownText, "釣果をクリアしていいですか？");
  buttons.sort();
  EXPECT_EQ(buttons, (QStringList{"いいえ", "はい"}));
  answer("いいえ");
  EXPECT_EQ(backend.MessageBox("?", MessageStyle::YesNoQuestion, "Marivo2"), MessageResult::No);
  answer("OK");
  EXPECT_EQ(backend.MessageBox("ウィンドウの整形に失敗しました。", MessageStyle::OkOnly, "Marivo2"),
            MessageResult::Ok);
}

TEST(QtPump, AnEndSignalBecomesTheSessionEnding) {
  // As the program does before it starts: the end signals wait for the
  // watch (a signal raised here is this thread's own).
  BlockEndSignals();
  QtBackend::Options o;
  o.watchSignals = true;
  Rig rig(o);
  int endings = 0;
  rig.platform.SetSessionEndingHandler([&endings] { ++endings; });
  // The signal is blocked in this process (as in the program) and waits
  // for the watch; one only, since a second one ends the process.
  raise(SIGTERM);
  rig.Run(200);
  EXPECT_EQ(endings, 1);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

// ------------------------------------------------------------- whole game

TEST(QtGame, TheSceneStandsOnTheBottomOfTheUsableScreen) {
  QtBackend backend(Quiet());
  Platform platform(backend);
  Game game(platform);
  game.Start();
  platform.DoEvents();  // the scene's windows are mapped once start-up is over
  const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
  const int bottom = available.y() + available.height();
  QWidget* bar = TopLevel("frmCon");
  QWidget* man = TopLevel("frmMan");
  QWidget* sea = TopLevel("frmSea");
  ASSERT_NE(bar, nullptr);
  ASSERT_NE(man, nullptr);
  ASSERT_NE(sea, nullptr);
  // Where the game placed them, and what shows of them on the screen.
  const auto placed = [](QWidget* w) {
    const auto* s = static_cast<Surface*>(w);
    return QRect(w->pos() - s->Origin(), s->Whole());
  };
  const auto shown = [](QWidget* w) {
    const QRegion mask = w->windowHandle()->mask();
    return mask.isEmpty() ? w->geometry()
                          : mask.boundingRect().translated(w->pos()) & w->geometry();
  };
  EXPECT_EQ(placed(bar), QRect(0, bottom - 15, 83, 15));
  EXPECT_EQ(shown(bar), QRect(0, bottom - 15, 83, 15));
  EXPECT_EQ(placed(man), QRect(83, bottom - 48, 50, 48));
  EXPECT_EQ(shown(man).bottom() + 1, bottom);
  EXPECT_EQ(shown(sea).left(), 83);
  EXPECT_EQ(shown(sea).bottom() + 1, bottom);
  EXPECT_EQ(shown(sea).height(), 3);
  EXPECT_TRUE(bar->isVisible() && man->isVisible() && sea->isVisible());
  EXPECT_FALSE(man->windowHandle()->mask().isEmpty());
  EXPECT_FALSE(man->windowHandle()->mask().contains(QPoint(0, 0)));  // the corner is cut away
}

}  // namespace
}  // namespace marivo::qt
