// Turns SIGTERM, SIGINT and SIGHUP into calls on the event thread.
//
// The three signals are blocked in every thread (BlockEndSignals must run
// before any thread exists, that is before the QApplication) and read from
// a signalfd through a QSocketNotifier, so nothing runs in signal context.
// The first signal asks the game to save and end; should a second one
// arrive before it has, the process ends at once the way the signal would
// end it, so a hung run can still be stopped.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace marivo::qt {

// Blocks the three signals in the calling thread and the threads it starts.
void BlockEndSignals();

class SignalWatch final : public QObject {
 public:
  explicit SignalWatch(std::function<void(int signal)> onSignal);
  ~SignalWatch() override;
  SignalWatch(const SignalWatch&) = delete;
  SignalWatch& operator=(const SignalWatch&) = delete;

  bool Active() const { return fd_ >= 0; }

 private:
  void Read();

  std::function<void(int)> onSignal_;
  int fd_ = -1;
  int received_ = 0;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace marivo::qt
