// The Qt backend's tests on a real X server: this runner starts its own
// Xvfb (on a display it picks itself) and, when installed, openbox, so the
// window manager's view of our windows is checked, not Qt's promise of it.
// Without Xvfb the tests skip.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

pid_t Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  // The servers' chatter stays out of the test log.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : 0;
}

// Starts Xvfb; returns its pid and sets DISPLAY, or 0.
pid_t StartXvfb() {
  int fds[2];
  if (pipe(fds) != 0) return 0;
  const pid_t pid = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                           "1024x768x24", "-nolisten", "tcp"});
  close(fds[1]);
  if (pid == 0) {
    close(fds[0]);
    return 0;
  }
  char buf[16] = {};
  const ssize_t n = read(fds[0], buf, sizeof buf - 1);  // blocks until Xvfb is ready
  close(fds[0]);
  if (n <= 0) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return 0;
  }
  char display[16];
  std::snprintf(display, sizeof display, ":%d", std::atoi(buf));
  setenv("DISPLAY", display, 1);
  return pid;
}

// Whether a window manager has announced itself on the root window.
bool WindowManagerRunning() {
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    return false;
  }
  const char* name = "_NET_SUPPORTING_WM_CHECK";
  auto* atom = xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  bool found = false;
  if (atom != nullptr) {
    auto* prop = xcb_get_property_reply(
        c, xcb_get_property(c, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr);
    found = prop != nullptr && xcb_get_property_value_length(prop) == 4;
    std::free(prop);
    std::free(atom);
  }
  xcb_disconnect(c);
  return found;
}

void Stop(pid_t pid) {
  if (pid == 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const pid_t xvfb = StartXvfb();
  pid_t wm = 0;
  if (xvfb != 0) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    wm = Spawn({"openbox", "--sm-disable"});
    // Until the window manager is up. On a busy machine that takes a while;
    // one that never comes up must not come up in the middle of a test.
    for (int i = 0; wm != 0 && i < 300 && !WindowManagerRunning(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (wm != 0 && !WindowManagerRunning()) {
      std::fprintf(stderr, "openbox did not come up: testing on the bare X server\n");
      Stop(wm);
      wm = 0;
    }
    // It announces itself before it has finished starting up.
    if (wm != 0) std::this_thread::sleep_for(std::chrono::milliseconds(300));
  } else {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  int result = 0;
  {
    QApplication app(argc, argv);
    result = RUN_ALL_TESTS();
  }
  Stop(wm);
  Stop(xvfb);
  return result;
}
