#include "platform/qt/qt_backend.h"

#include <sys/resource.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDateTime>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSessionManager>
#include <QWindow>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/arith.h"
#include "platform/platform.h"
#include "platform/profile.h"
#include "platform/qt/font_selection.h"
#include "platform/qt/qt_support.h"
#include "platform/qt/qt_window.h"
#include "platform/qt/signal_watch.h"
#include "platform/qt/sway_ipc.h"
#include "platform/region.h"

namespace marivo::qt {
namespace {

// Counts a nesting level for as long as it lives.
class DepthScope {
 public:
  explicit DepthScope(int& depth) : depth_(depth) { ++depth_; }
  ~DepthScope() { --depth_; }
  DepthScope(const DepthScope&) = delete;
  DepthScope& operator=(const DepthScope&) = delete;

 private:
  int& depth_;
};

// One of our windows destroyed by someone else (`xdotool windowclose`, a
// tool that tidies up windows): the program cannot go on without it, so
// this is taken as a request to close the program. Our own windows are no
// longer ours by the time the server reports their destruction.
class DestroyWatch final : public QAbstractNativeEventFilter {
 public:
  explicit DestroyWatch(std::function<void(std::uint32_t)> onDestroyed)
      : onDestroyed_(std::move(onDestroyed)) {}
  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
    if (eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_DESTROY_NOTIFY) return false;
    onDestroyed_(reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window);
    return false;
  }

 private:
  std::function<void(std::uint32_t)> onDestroyed_;
};

QString ToQString(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QtBackend::QtBackend(Options options) : options_(options) {
  if (options_.trace != nullptr) trace_ = options_.trace;
  clock_.start();
  waitTimer_.setSingleShot(true);
  waitTimer_.setTimerType(Qt::PreciseTimer);
  wakeupTimer_.setSingleShot(true);
  wakeupTimer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&wakeupTimer_, &QTimer::timeout, &wakeupTimer_, [this] { OnWakeup(); });
  dockTimer_.setSingleShot(true);
  dockTimer_.setInterval(50);
  QObject::connect(&dockTimer_, &QTimer::timeout, &dockTimer_, [this] { OnDocksChanged(); });
  desktop_.SetDocksChangedHandler([this] {
    if (!dockTimer_.isActive()) dockTimer_.start();
  });
  random_.Seed(static_cast<std::uint32_t>(QDateTime::currentMSecsSinceEpoch()));

  auto sessionEnding = [this] {
    if (ended_) return;
    PlatformEvent e;
    e.kind = PlatformEvent::Kind::SessionEnding;
    Post(e);
  };
  if (options_.watchSignals) {
    signals_ = std::make_unique<SignalWatch>([sessionEnding](int) { sessionEnding(); });
  }
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    app->setQuitOnLastWindowClosed(false);
    // The desktop session is ending: save as the exit item does.
    QObject::connect(app, &QGuiApplication::commitDataRequest, &waitTimer_,
                     [sessionEnding](QSessionManager&) { sessionEnding(); });
    QObject::connect(app, &QCoreApplication::aboutToQuit, &waitTimer_, sessionEnding);
    // A new primary screen: follow it instead of the old one.
    QObject::connect(app, &QGuiApplication::primaryScreenChanged, &waitTimer_,
                     [this](QScreen* screen) {
                       WatchScreen(screen);
                       PostScreenChanged();
                     });
    WatchScreen(QGuiApplication::primaryScreen());
    destroyWatch_ = std::make_unique<DestroyWatch>([this](std::uint32_t window) {
      if (ended_ || !GameWindow(window)) return;
      PlatformEvent e;
      e.kind = PlatformEvent::Kind::QuitRequest;
      Post(e);
    });
    app->installNativeEventFilter(destroyWatch_.get());
  }
  if (options_.sessionBusEarly) {
    // Qt's accessibility connects to the session bus when the first window
    // is shown, and the scene waits for it: round trips to the bus, or on
    // a display without one, libdbus starting one through dbus-launch.
    // Connected here, the wait overlaps the scene's layout; Qt's own call
    // then finds the connection made (or waits only for the rest of it).
    busOpener_ = std::thread([] { QDBusConnection::sessionBus(); });
  }
  // Qt's default fonts (tooltips use them) stay among the fonts Qt sees.
  std::vector<std::string> defaultFamilies;
  if (options_.gameFontsOnly) {
    for (const QFont& font : {QApplication::font(), QApplication::font("QTipLabel")}) {
      const QStringList families =
          font.families().isEmpty() ? QStringList{font.family()} : font.families();
      for (const QString& family : families) defaultFamilies.push_back(family.toStdString());
    }
  }
  if (options_.fontsInBackground) {
    // Qt reads every installed font before the first text can be measured
    // or drawn: milliseconds even with the fonts chosen, which would
    // otherwise stand between the start and the scene. Qt's font database
    // is thread-safe; filled here, it serves every thread. Nothing on the
    // scene's thread asks Qt for a font before Font() has waited for this.
    fontsReady_ = false;
    fontLoader_ = std::thread([this, defaultFamilies] {
      // The scene comes first: on a busy machine the fonts must not take
      // the CPU its thread needs (Linux keeps a nice value per thread).
      errno = 0;
      const int nice = getpriority(PRIO_PROCESS, 0);
      if (errno == 0) {
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), std::min(nice + 10, 19));
      }
      if (options_.beforeFontLoad) options_.beforeFontLoad();
      if (options_.gameFontsOnly) UseGameFontsOnly(defaultFamilies);
      QFontDatabase::families(QFontDatabase::Japanese);
      QMetaObject::invokeMethod(
          &waitTimer_, [this] { OnFontsReady(); }, Qt::QueuedConnection);
    });
  } else if (options_.gameFontsOnly) {
    StartupTrace::Scope timed(*trace_, StartupTrace::Part::Fonts);
    UseGameFontsOnly(defaultFamilies);
  }
}

void QtBackend::OnFontsReady() {
  if (fontLoader_.joinable()) fontLoader_.join();
  fontsReady_ = true;
  for (QWidget* w : QApplication::topLevelWidgets()) w->update();
}

void QtBackend::WatchScreen(QScreen* screen) {
  for (const QMetaObject::Connection& c : screenConnections_) QObject::disconnect(c);
  screenConnections_.clear();
  watched_ = screen;
  if (screen == nullptr) return;
  // A resolution change, a panel moved or resized: the scene is laid out again.
  screenConnections_.push_back(QObject::connect(screen, &QScreen::geometryChanged, &waitTimer_,
                                                [this] { PostScreenChanged(); }));
  screenConnections_.push_back(QObject::connect(screen, &QScreen::availableGeometryChanged,
                                                &waitTimer_, [this] { PostScreenChanged(); }));
}

void QtBackend::PostScreenChanged(std::optional<QRect> usable) {
  if (ended_) return;
  // The sprites are cut to the new area at once; the game lays the scene
  // out anew when it hears of the change.
  usable_ = usable;
  for (QtWindow* w : windows_) w->Replace();
  PlatformEvent e;
  e.kind = PlatformEvent::Kind::ScreenChanged;
  Post(e);
}

void QtBackend::OnDocksChanged() {
  // Not read since the last change: the next reading sees the panels anew.
  if (ended_ || !usable_) return;
  const QRect before = *usable_;
  usable_.reset();
  if (UsableArea(QGuiApplication::primaryScreen()) != before) PostScreenChanged();
}

QtBackend::~QtBackend() {
  if (fontLoader_.joinable()) fontLoader_.join();
  if (busOpener_.joinable()) busOpener_.join();
  if (destroyWatch_ && qGuiApp != nullptr) qGuiApp->removeNativeEventFilter(destroyWatch_.get());
}

QWidget* QtBackend::WidgetOf(NativeWindow* window) {
  auto* w = dynamic_cast<QtWindow*>(window);
  return w != nullptr ? &w->Widget() : nullptr;
}

void QtBackend::Unregister(QtWindow* window) {
  const auto it = std::find(windows_.begin(), windows_.end(), window);
  if (it == windows_.end()) return;
  const bool wasLowest = it == windows_.begin();
  windows_.erase(it);
  // Whatever it covered shows again.
  if (!wasLowest && desktop_.Xwayland()) {
    for (QtWindow* w : windows_) w->Reclip();
  }
}

void QtBackend::Restack(QtWindow* window, bool bottom) {
  const auto it = std::find(windows_.begin(), windows_.end(), window);
  if (it == windows_.end()) return;
  if (bottom) {
    std::rotate(windows_.begin(), it, it + 1);
  } else {
    std::rotate(it, it + 1, windows_.end());
  }
  if (desktop_.Xwayland()) {
    for (QtWindow* w : windows_) w->Reclip();
  }
}

QRegion QtBackend::CoveredAbove(const QtWindow* window) const {
  QRegion covered;
  const auto it = std::find(windows_.begin(), windows_.end(), window);
  if (it == windows_.end()) return covered;
  for (auto above = it + 1; above != windows_.end(); ++above) covered += (*above)->Covers();
  return covered;
}

void QtBackend::ReclipBelow(const QtWindow* window) {
  if (!desktop_.Xwayland()) return;
  for (QtWindow* w : windows_) {
    if (w == window) break;
    w->Reclip();
  }
}

QRect QtBackend::UsableArea(QScreen* screen) {
  if (screen == nullptr) return {};
  if (!usable_) {
    usable_ = screen->availableGeometry();
    const char* sway = std::getenv("SWAYSOCK");
    const auto work = desktop_.WorkArea();
    if (work) {
      // Read from the root itself: Qt's first available geometry can be the
      // whole screen although a work area is published (its own reading
      // arrives a moment later as a change), and a scene laid out on the
      // screen's bottom would be cut away and shown again at once, which
      // the window manager may take in without the sprites' marks.
      const qreal ratio = std::max<qreal>(1, screen->devicePixelRatio());
      const QRect area(Floor((*work)[0] / ratio), Floor((*work)[1] / ratio),
                       Floor((*work)[2] / ratio), Floor((*work)[3] / ratio));
      if (area.intersects(screen->geometry())) usable_ = area & screen->geometry();
    } else if (desktop_.Available() && sway != nullptr && sway[0] != '\0') {
      if (const auto ws = AskSwayFocusedWorkspace(sway)) usable_ = SwayArea(*ws, screen);
      // From now on every change of sway's bar or workspace is followed.
      if (!swayWatch_) {
        swayWatch_ =
            std::make_unique<SwayWatch>(sway, [this](const IpcRect& ws) { return FollowSway(ws); });
        // sway draws the sprites above every other program whatever the
        // X server's order, but XWayland gives a press to the window on top
        // of that order: a program mapped after the game would take the
        // presses on the scene. So the sprites are kept on top of it.
        if (desktop_.Xwayland()) {
          desktop_.WatchTopLevels([this](std::uint32_t window) {
            if (!OwnWindow(window)) KeepSpritesOnTop();
          });
        }
      }
    }
    // A panel along the bottom edge that reserves no room there stands
    // above every normal window: Xfce's stock dock, shown, or hidden down
    // to its strip (it hides only for the active window, which a sprite
    // never is). The scene stands on its top, shown or hidden alike.
    if (desktop_.Available()) {
      const auto devicePixels = [](const QScreen* s) {
        const qreal r = std::max<qreal>(1, s->devicePixelRatio());
        const QRect g = s->geometry();
        return QRect(Nearest(g.x() * r), Nearest(g.y() * r), Nearest(g.width() * r),
                     Nearest(g.height() * r));
      };
      std::vector<QRect> others;
      for (const QScreen* other : QGuiApplication::screens()) {
        if (other != screen) others.push_back(devicePixels(other));
      }
      if (const auto top = UnreservedDockTop(devicePixels(screen), others, desktop_.Docks())) {
        const int bottom = Floor(*top / std::max<qreal>(1, screen->devicePixelRatio()));
        if (usable_->isValid() && bottom > usable_->y() &&
            bottom < usable_->y() + usable_->height()) {
          usable_->setHeight(bottom - usable_->y());
        }
      }
    }
  }
  return *usable_;
}

void QtBackend::KeepSpritesOnTop() {
  if (raisePending_ || ended_) return;
  raisePending_ = true;
  // Once for all the changes of one turn of the event loop, and at most
  // ten times a second, should another program keep raising itself too.
  constexpr qint64 kSpacingMs = 100;
  const qint64 since = lastRaise_.isValid() ? lastRaise_.elapsed() : kSpacingMs;
  QTimer::singleShot(int(std::max<qint64>(0, kSpacingMs - since)), &waitTimer_, [this] {
    raisePending_ = false;
    lastRaise_.start();
    // Bottom first: they keep the game's order among themselves.
    for (QtWindow* w : windows_) w->RaiseNative();
    desktop_.Flush();
  });
}

QRect QtBackend::SwayArea(const IpcRect& ws, QScreen* screen) {
  // In sway's layout pixels, which are XWayland's root pixels.
  const qreal ratio = std::max<qreal>(1, screen->devicePixelRatio());
  const QRect area(Floor(ws.x / ratio), Floor(ws.y / ratio), Floor(ws.width / ratio),
                   Floor(ws.height / ratio));
  return area & screen->geometry();
}

bool QtBackend::FollowSway(const IpcRect& ws) {
  QScreen* screen = QGuiApplication::primaryScreen();
  // Not read yet (the next reading asks sway anyway), or a work area is
  // published after all: nothing to follow.
  if (ended_ || screen == nullptr || !usable_ || desktop_.WorkArea()) return true;
  const QRect area = SwayArea(ws, screen);
  if (area == *usable_) return false;
  PostScreenChanged(area);
  return true;
}

QRect QtBackend::AllowedArea() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return {};
  const QRect g = screen->geometry();
  const QRect usable = UsableArea(screen);
  const int bottom = usable.isValid() ? usable.y() + usable.height() : g.y() + g.height();
  return QRect(g.x(), g.y(), g.width(), bottom - g.y());
}

ScreenInfo QtBackend::Screen() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return ScreenInfo{};
  return ScreenInfoFrom(screen->geometry(), UsableArea(screen));
}

FrameInsets QtBackend::Insets(BorderStyle border) {
  switch (border) {
    case BorderStyle::None:
      return {};
    case BorderStyle::ThinSingle:
      return {1, 1, 1, 1};
    case BorderStyle::FixedDialog:
    case BorderStyle::FixedSingle:
    case BorderStyle::Sizable:
      return {3, 3 + kCaptionHeight, 3, 3};
  }
  return {};
}

std::uint32_t QtBackend::TickCount() {
  return options_.startTick + static_cast<std::uint32_t>(clock_.elapsed());
}

void QtBackend::Post(const PlatformEvent& event) {
  ++posted_;
  if (sink_ != nullptr) sink_->Post(event);
}

void QtBackend::PollEvents() {
  DepthScope pumping(pumpDepth_);
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtBackend::WaitEvents(std::optional<std::uint32_t> deadline) {
  DepthScope pumping(pumpDepth_);
  const std::uint64_t before = posted_;
  while (posted_ == before && !ended_) {
    if (deadline) {
      const auto remaining = static_cast<std::int32_t>(*deadline - TickCount());
      if (remaining <= 0) break;
      waitTimer_.start(remaining);
    }
    // Sleeps in the event dispatcher until something arrives.
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  waitTimer_.stop();
}

void QtBackend::ScheduleWakeup(std::optional<std::uint32_t> deadline) {
  wakeup_ = deadline;
  if (modalDepth_ > 0) ArmWakeup();
}

void QtBackend::ArmWakeup() {
  if (!wakeup_) {
    wakeupTimer_.stop();
    return;
  }
  const auto remaining = static_cast<std::int32_t>(*wakeup_ - TickCount());
  wakeupTimer_.start(remaining > 0 ? remaining : 0);
}

void QtBackend::OnWakeup() {
  // Inside the game's own pump the window layer fires its timers itself.
  if (modalDepth_ == 0 || pumpDepth_ > 0 || sink_ == nullptr || ended_ || pending_) return;
  ++modalTimerRuns_;
  try {
    sink_->RunDueTimers();
  } catch (const ProgramEnded&) {
    ended_ = true;
    if (closeModal_) closeModal_();
  } catch (...) {
    // Nothing may be thrown through Qt: carry it out of the modal loop.
    pending_ = std::current_exception();
    if (closeModal_) closeModal_();
  }
}

void QtBackend::RunModal(const std::function<void()>& exec, const std::function<void()>& close) {
  std::function<void()> outer = std::exchange(closeModal_, close);
  {
    DepthScope modal(modalDepth_);
    ArmWakeup();
    exec();
  }
  closeModal_ = std::move(outer);
  if (modalDepth_ == 0) wakeupTimer_.stop();
  if (pending_ && modalDepth_ == 0) std::rethrow_exception(std::exchange(pending_, nullptr));
}

std::unique_ptr<NativeWindow> QtBackend::CreateNativeWindow(const WindowDesign& design,
                                                            const WindowState& state) {
  return std::make_unique<QtWindow>(*this, design, state);
}

std::unique_ptr<NativeRegion> QtBackend::BuildRegion(const void* data, std::uint32_t bytes) {
  auto rects = ParseRegionData(data, bytes);
  if (!rects) return nullptr;
  return std::make_unique<QtRegion>(ToQRegion(*rects));
}

const QImage& QtBackend::ImageFor(const assets::Image* image) {
  auto it = images_.find(image);
  if (it == images_.end()) {
    StartupTrace::Scope timed(*trace_, StartupTrace::Part::Pictures);
    it = images_.emplace(image, image != nullptr ? ToQImage(*image) : QImage()).first;
  }
  return it->second;
}

const QFont& QtBackend::Font(const FontDesign& design) {
  const std::string key = std::string(design.face != nullptr ? design.face : "") + "|" +
                          std::to_string(design.points) + (design.bold ? "|b" : "|");
  auto it = fonts_.find(key);
  if (it == fonts_.end()) {
    StartupTrace::Scope timed(*trace_, StartupTrace::Part::Fonts);
    // Qt must not read the fonts before they have been chosen; the text
    // held back so far is drawn when the thread's news arrives.
    if (fontLoader_.joinable()) fontLoader_.join();
    it = fonts_.emplace(key, FontFor(design)).first;
  }
  return it->second;
}

int QtBackend::TextWidthPx(const FontDesign& font, std::string_view text) {
  StartupTrace::Scope timed(*trace_, StartupTrace::Part::Fonts);
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  return QFontMetrics(Font(font)).horizontalAdvance(s);
}

int QtBackend::PopupMenu(NativeWindow*, const std::vector<MenuEntry>& entries) {
  QMenu menu;
  menu.setObjectName("mpop");
  menu.setWindowTitle("mpop");
  menu.setFont(Font(FontDesign{"ＭＳ Ｐゴシック", 9.0, false}));
  std::vector<std::pair<QAction*, int>> actions;
  for (const MenuEntry& e : entries) {
    if (e.separator) {
      menu.addSeparator();
    } else {
      actions.emplace_back(menu.addAction(ToQString(e.caption)), e.control);
    }
  }
  // The menu grabs the keyboard while it is open; the window that had the
  // focus before (another program's) must have it again when the menu is
  // dismissed. A chosen entry opens a window of ours or ends the game,
  // which settle the focus themselves.
  const std::uint32_t focusBefore = desktop_.FocusWindow();
  const std::uint32_t activeBefore = desktop_.ActiveWindow();
  QAction* chosen = nullptr;
  RunModal([&] { chosen = menu.exec(QCursor::pos()); }, [&] { menu.close(); });
  if (!ended_ && chosen == nullptr && activeBefore != 0 && desktop_.FocusWindow() != focusBefore &&
      !OwnWindow(activeBefore)) {
    desktop_.Activate(activeBefore);
  }
  if (ended_ || chosen == nullptr) return -1;
  for (const auto& [action, control] : actions) {
    if (action == chosen) return control;
  }
  return -1;
}

MessageResult QtBackend::MessageBox(const std::string& text, MessageStyle style,
                                    const std::string& caption) {
  QMessageBox box;
  box.setWindowTitle(ToQString(caption));
  box.setText(ToQString(text));
  box.setFont(Font(FontDesign{"ＭＳ Ｐゴシック", 9.0, false}));
  QPushButton* yes = nullptr;
  QPushButton* no = nullptr;
  if (style == MessageStyle::YesNoQuestion) {
    box.setIcon(QMessageBox::Question);
    yes = box.addButton("はい", QMessageBox::YesRole);
    no = box.addButton("いいえ", QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
  } else {
    box.setIcon(QMessageBox::NoIcon);
    QPushButton* ok = box.addButton("OK", QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
  }
  RunModal([&] { box.exec(); }, [&] { box.done(0); });
  if (style == MessageStyle::OkOnly) return MessageResult::Ok;
  return box.clickedButton() == yes && yes != nullptr ? MessageResult::Yes : MessageResult::No;
}

LocalTime QtBackend::Now() {
  const QDateTime now = QDateTime::currentDateTime();
  const QDate d = now.date();
  const QTime t = now.time();
  return {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
}

float QtBackend::Rnd() {
  return random_.Next();
}

void QtBackend::Randomize() {
  random_.Seed(options_.testSeed.value_or(
      TickCount() ^ static_cast<std::uint32_t>(QDateTime::currentMSecsSinceEpoch())));
}

std::string QtBackend::ReadProfileString(const std::string& section, const std::string& key,
                                         const std::string& path) {
  StartupTrace::Scope timed(*trace_, StartupTrace::Part::Record);
  return profile::Read(section, key, path);
}

bool QtBackend::WriteProfileString(const std::string& section, const std::string& key,
                                   const std::string& value, const std::string& path) {
  StartupTrace::Scope timed(*trace_, StartupTrace::Part::Record);
  return profile::Write(section, key, value, path);
}

std::string QtBackend::AppPath() {
  StartupTrace::Scope timed(*trace_, StartupTrace::Part::Record);
  return QCoreApplication::applicationDirPath().toStdString();
}

std::string QtBackend::AppExeName() {
  StartupTrace::Scope timed(*trace_, StartupTrace::Part::Record);
  return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toStdString();
}

std::string QtBackend::UserSettingsDir() {
  StartupTrace::Scope timed(*trace_, StartupTrace::Part::Record);
  return UserSettingsDirFrom(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

FileAccess QtBackend::ProbeFile(const std::string& path) {
  StartupTrace::Scope timed(*trace_, StartupTrace::Part::Record);
  return posix::ProbeFile(path);
}

bool QtBackend::FolderWritable(const std::string& folder) {
  StartupTrace::Scope timed(*trace_, StartupTrace::Part::Record);
  return posix::FolderWritable(folder);
}

bool QtBackend::MakeFolder(const std::string& folder) {
  StartupTrace::Scope timed(*trace_, StartupTrace::Part::Record);
  return posix::MakeFolder(folder);
}

bool QtBackend::CopyFile(const std::string& from, const std::string& to) {
  StartupTrace::Scope timed(*trace_, StartupTrace::Part::Record);
  return posix::CopyFile(from, to);
}

bool QtBackend::ClaimSingleInstance() {
  StartupTrace::Scope timed(*trace_, StartupTrace::Part::Lock);
  // In the session's runtime folder when there is one (it goes away with
  // the session), else in the per-user settings folder, else beside the
  // program; with no HOME at all, in the settings folder under the home the
  // password database gives.
  std::vector<std::string> folders = {posix::RuntimeDir(), UserSettingsDir(), AppPath()};
  const std::string home = posix::PasswordHome();
  if (!home.empty()) folders.push_back(UserSettingsDirFrom(nullptr, home.c_str()));
  switch (instanceLock_.Claim(folders, "marivo2.lock")) {
    case posix::InstanceLock::Result::Held:
      return true;
    case posix::InstanceLock::Result::Busy:
      return false;
    case posix::InstanceLock::Result::Nowhere:
      break;
  }
  // Not a reason to keep the player from the game, but not a silent one.
  std::string tried;
  for (const std::string& folder : folders) {
    if (!folder.empty()) tried += (tried.empty() ? "" : ", ") + folder;
  }
  std::fprintf(stderr,
               "marivo2: no folder can hold the one-copy lock (tried: %s); this copy runs "
               "without it, so a second copy would not be stopped.\n",
               tried.empty() ? "none" : tried.c_str());
  std::fflush(stderr);
  return true;
}

void QtBackend::End() {
  ended_ = true;
  if (closeModal_) closeModal_();
}

bool QtBackend::GameWindow(std::uint32_t window) const {
  for (QtWindow* w : windows_) {
    // Asked of the QWindow, never of the widget (which may keep a stale id),
    // and only while it has a native window (winId() would create one).
    const QWindow* handle = w->Widget().windowHandle();
    if (handle != nullptr && handle->handle() != nullptr &&
        std::uint32_t(handle->winId()) == window) {
      return true;
    }
  }
  return false;
}

bool QtBackend::OwnWindow(std::uint32_t window) const {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->internalWinId() != 0 && std::uint32_t(w->internalWinId()) == window) return true;
  }
  return false;
}

void QtBackend::NoteShowing(WindowId id) {
  if (id != WindowId::frmMan || layoutTraced_) return;
  layoutTraced_ = true;
  trace_->EndPhase("layout");
}

void QtBackend::NoteShown(WindowId id) {
  if (id == WindowId::frmMan) trace_->Finish();
}

}  // namespace marivo::qt
