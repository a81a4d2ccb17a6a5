// The desktop program: マリヴォ２ on X11 through Qt 6 Widgets.
#include <QApplication>
#include <QByteArray>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/qt/qt_backend.h"
#include "platform/qt/qt_support.h"
#include "platform/qt/signal_watch.h"
#include "platform/qt/startup_trace.h"
#include "platform/random.h"
#include "scene/game.h"

namespace {

constexpr const char* kNoDesktop =
    "マリヴォ２ needs a graphical desktop (X11): %s.\n"
    "Start it from a desktop session, or set DISPLAY to a running X server.\n";

// Qt gives up with a fatal message when it cannot reach the display; say it
// plainly and leave with a failure instead of aborting.
void OnQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
  const QByteArray text = message.toLocal8Bit();
  if (type == QtFatalMsg) {
    if (text.contains("display") || text.contains("platform plugin")) {
      std::fprintf(stderr, kNoDesktop, "the display cannot be opened");
    } else {
      std::fprintf(stderr, "marivo2: %s\n", text.constData());
    }
    std::fflush(stderr);
    std::_Exit(2);
  }
  // Warnings about the environment (a missing runtime folder and the like)
  // are not the player's business; real errors are.
  if (type == QtCriticalMsg) {
    std::fprintf(stderr, "marivo2: %s\n", text.constData());
  }
}

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

}  // namespace

int main(int argc, char** argv) {
  // Timings of the start, for the benchmark, when asked for.
  marivo::qt::StartupTrace trace(Set("MARIVO2_REPORT_SHOWN"));
  if (!Set("QT_QPA_PLATFORM")) {
    if (!Set("DISPLAY")) {
      std::fprintf(stderr, kNoDesktop, "no DISPLAY is set");
      return 2;
    }
    // The scene places its windows itself, which needs X11 (or XWayland).
    qputenv("QT_QPA_PLATFORM", "xcb");
  }
  qInstallMessageHandler(OnQtMessage);
  // Before any thread exists, so that every thread leaves them to the watch.
  marivo::qt::BlockEndSignals();
  // Whole scale factors keep the pixel art's pixels square on dense screens,
  // and let the scene end exactly on the usable bottom row: the screens' own
  // factors are rounded by Qt, the ones a user sets by hand here.
  QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
  for (const char* name : {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS"}) {
    if (Set(name)) {
      qputenv(name, QByteArray::fromStdString(marivo::qt::WholeScaleFactors(std::getenv(name))));
    }
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("marivo2");

  marivo::qt::QtBackend::Options options;
  options.trace = &trace;
  options.fontsInBackground = true;
  options.gameFontsOnly = true;
  options.sessionBusEarly = true;
  options.testSeed = marivo::TestSeedFrom(std::getenv("MARIVO2_TEST_SEED"));
  marivo::qt::QtBackend backend(options);
  trace.EndPhase("qt-setup");
  return marivo::RunGame(backend);
}
