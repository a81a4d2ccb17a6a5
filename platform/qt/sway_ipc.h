// The usable area of a sway session, read from sway's own IPC socket.
//
// sway publishes no work area to its X clients (XWayland has no
// _NET_WORKAREA), so a bottom bar would stand over the scene. Its IPC
// (the i3 protocol: "i3-ipc", a 32-bit length, a 32-bit type, JSON) tells
// each workspace's usable rectangle, the output less its bars. A tiny
// reader of our own: one request, one reply, no library.
#pragma once

#include <optional>
#include <string>
#include <string_view>

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

}  // namespace marivo::qt
