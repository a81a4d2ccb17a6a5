// The usable area of a sway session, read from sway's own IPC socket.
//
// sway publishes no work area to its X clients (XWayland has no
// _NET_WORKAREA), so a bottom bar would stand over the scene. Its IPC
// (the i3 protocol: "i3-ipc", a 32-bit length, a 32-bit type, JSON) tells
// each workspace's usable rectangle, the output less its bars. A tiny
// reader of our own: one request, one reply, no library. SwayWatch
// follows later changes (the bar resized, hidden or shown, another
// workspace or output) through sway's events.
#pragma once

#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QSocketNotifier;

namespace marivo::qt {

struct IpcRect {
  int x = 0, y = 0, width = 0, height = 0;
};

// The "rect" of the workspace marked "focused": true in a GET_WORKSPACES
// reply; none when the text holds no such workspace or is not JSON.
std::optional<IpcRect> FocusedWorkspaceRect(std::string_view json);

// Asks the sway instance listening on `socketPath` (the session's
// $SWAYSOCK) for its workspaces; none when it cannot be reached or does
// not answer within half a second.
std::optional<IpcRect> AskSwayFocusedWorkspace(const std::string& socketPath);

// Follows the focused workspace's usable rectangle. On a connection of its
// own, watched by the event loop, it subscribes to sway's workspace, bar
// (barconfig_update, bar_state_update) and, where sway offers it, output
// events, and after each event asks for the workspaces and hands the
// focused one's rectangle to `report`, which says whether it was news.
// sway tells of a bar's change before the bar has taken its new size, so
// a rectangle that is not news is asked for again a few times, 20 ms
// after the event and then twice as long each time (about 2.5 s in all);
// with no event, nothing is asked. The first rectangle is asked for once
// subscribed, so a change between an earlier reading and the subscription
// is not lost. A connection that fails, breaks or carries something that
// is not sway's protocol ends the watch.
class SwayWatch {
 public:
  SwayWatch(const std::string& socketPath, std::function<bool(const IpcRect&)> report);
  ~SwayWatch();
  SwayWatch(const SwayWatch&) = delete;
  SwayWatch& operator=(const SwayWatch&) = delete;

  bool Watching() const { return fd_ >= 0; }

 private:
  static constexpr int kRetries = 7;
  static constexpr int kFirstDelayMs = 20;

  void Read();
  void Handle(std::uint32_t type, std::string_view payload);
  void Ask();
  void Stop();

  std::function<bool(const IpcRect&)> report_;
  int fd_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
  QTimer again_;
  int retriesLeft_ = 0;
  int delayMs_ = kFirstDelayMs;
  std::string received_;
};

}  // namespace marivo::qt
