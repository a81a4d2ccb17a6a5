#include "platform/qt/sway_ipc.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/arith.h"

namespace marivo::qt {
namespace {

// Just enough JSON for sway's replies: a value tree, nesting bounded so
// that a hostile or broken reply cannot exhaust the stack.
struct Json {
  enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<Json> items;
  std::vector<std::pair<std::string, Json>> members;

  const Json* Member(std::string_view name) const {
    for (const auto& [key, value] : members) {
      if (key == name) return &value;
    }
    return nullptr;
  }
};

class Parser {
 public:
  explicit Parser(std::string_view text) : s_(text) {}

  std::optional<Json> Document() {
    Json value;
    if (!Value(value, 0)) return std::nullopt;
    Blank();
    if (i_ != s_.size()) return std::nullopt;
    return value;
  }

 private:
  static constexpr int kMaxDepth = 64;

  void Blank() {
    while (i_ < s_.size() &&
           (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r')) {
      ++i_;
    }
  }
  bool Eat(char c) {
    Blank();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  bool Word(std::string_view w) {
    if (s_.substr(i_, w.size()) != w) return false;
    i_ += w.size();
    return true;
  }
  bool String(std::string& out) {
    if (!Eat('"')) return false;
    while (i_ < s_.size()) {
      const char c = s_[i_++];
      if (c == '"') return true;
      if (c == '\\') {
        if (i_ >= s_.size()) return false;
        const char e = s_[i_++];
        switch (e) {
          case 'n':
            out += '\n';
            break;
          case 't':
            out += '\t';
            break;
          case 'u':  // kept as written: no name we read needs it
            out += "\\u";
            break;
          default:
            out += e;
        }
      } else {
        out += c;
      }
    }
    return false;
  }
  bool Value(Json& v, int depth) {
    if (depth > kMaxDepth) return false;
    Blank();
    if (i_ >= s_.size()) return false;
    const char c = s_[i_];
    if (c == '{') {
      ++i_;
      v.kind = Json::Kind::Object;
      if (Eat('}')) return true;
      do {
        std::string key;
        Json member;
        if (!String(key) || !Eat(':') || !Value(member, depth + 1)) return false;
        v.members.emplace_back(std::move(key), std::move(member));
      } while (Eat(','));
      return Eat('}');
    }
    if (c == '[') {
      ++i_;
      v.kind = Json::Kind::Array;
      if (Eat(']')) return true;
      do {
        Json item;
        if (!Value(item, depth + 1)) return false;
        v.items.push_back(std::move(item));
      } while (Eat(','));
      return Eat(']');
    }
    if (c == '"') {
      v.kind = Json::Kind::String;
      return String(v.text);
    }
    if (Word("true") || Word("false")) {
      v.kind = Json::Kind::Bool;
      v.boolean = c == 't';
      return true;
    }
    if (Word("null")) return true;
    // A number.
    const std::size_t start = i_;
    while (i_ < s_.size() && s_[i_] != '\0' && std::strchr("+-0123456789.eE", s_[i_]) != nullptr) {
      ++i_;
    }
    if (i_ == start) return false;
    const std::string digits(s_.substr(start, i_ - start));
    char* end = nullptr;
    v.number = std::strtod(digits.c_str(), &end);
    v.kind = Json::Kind::Number;
    return end != nullptr && *end == '\0' && std::isfinite(v.number);
  }

  std::string_view s_;
  std::size_t i_ = 0;
};

std::optional<int> Whole(const Json* v) {
  if (v == nullptr || v->kind != Json::Kind::Number || std::fabs(v->number) > 1e8) {
    return std::nullopt;
  }
  return Nearest(v->number);
}

constexpr std::uint32_t kGetWorkspaces = 1;
constexpr std::uint32_t kSubscribe = 2;
constexpr std::uint32_t kEvent = 0x80000000u;
constexpr std::size_t kHeader = 14;
// A workspace list is a few hundred bytes a workspace, an event a few
// kilobytes at most.
constexpr std::uint32_t kMaxPayload = 1u << 20;

// A message: magic, payload length, type (native byte order), payload.
std::string Message(std::uint32_t type, std::string_view payload) {
  std::string m = "i3-ipc";
  const auto size = static_cast<std::uint32_t>(payload.size());
  m.append(reinterpret_cast<const char*>(&size), 4);
  m.append(reinterpret_cast<const char*>(&type), 4);
  m.append(payload);
  return m;
}

int Connect(const std::string& socketPath) {
  sockaddr_un addr{};
  if (socketPath.empty() || socketPath.size() >= sizeof addr.sun_path) return -1;
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Writes or reads all of `n` bytes, waiting at most `timeoutMs` each time
// for the socket; false on any failure.
bool Transfer(int fd, char* data, std::size_t n, bool writing, int timeoutMs) {
  std::size_t done = 0;
  while (done < n) {
    pollfd p{fd, static_cast<short>(writing ? POLLOUT : POLLIN), 0};
    if (poll(&p, 1, timeoutMs) <= 0) return false;
    const ssize_t k = writing ? send(fd, data + done, n - done, MSG_NOSIGNAL)
                              : recv(fd, data + done, n - done, 0);
    if (k <= 0) return false;
    done += static_cast<std::size_t>(k);
  }
  return true;
}

}  // namespace

std::optional<IpcRect> FocusedWorkspaceRect(std::string_view json) {
  const std::optional<Json> doc = Parser(json).Document();
  if (!doc || doc->kind != Json::Kind::Array) return std::nullopt;
  for (const Json& ws : doc->items) {
    const Json* focused = ws.Member("focused");
    if (focused == nullptr || focused->kind != Json::Kind::Bool || !focused->boolean) continue;
    const Json* rect = ws.Member("rect");
    if (rect == nullptr) return std::nullopt;
    const auto x = Whole(rect->Member("x"));
    const auto y = Whole(rect->Member("y"));
    const auto w = Whole(rect->Member("width"));
    const auto h = Whole(rect->Member("height"));
    if (!x || !y || !w || !h || *w <= 0 || *h <= 0) return std::nullopt;
    return IpcRect{*x, *y, *w, *h};
  }
  return std::nullopt;
}

std::optional<IpcRect> AskSwayFocusedWorkspace(const std::string& socketPath) {
  const int fd = Connect(socketPath);
  if (fd < 0) return std::nullopt;
  std::optional<IpcRect> result;
  constexpr int kTimeoutMs = 500;
  std::string request = Message(kGetWorkspaces, {});
  char header[kHeader];
  if (Transfer(fd, request.data(), request.size(), true, kTimeoutMs) &&
      Transfer(fd, header, sizeof header, false, kTimeoutMs) &&
      std::memcmp(header, "i3-ipc", 6) == 0) {
    std::uint32_t size = 0, type = 0;
    std::memcpy(&size, header + 6, 4);
    std::memcpy(&type, header + 10, 4);
    if (type == kGetWorkspaces && size <= kMaxPayload) {
      std::string payload(size, '\0');
      if (Transfer(fd, payload.data(), size, false, kTimeoutMs)) {
        result = FocusedWorkspaceRect(payload);
      }
    }
  }
  close(fd);
  return result;
}

SwayWatch::SwayWatch(const std::string& socketPath, std::function<bool(const IpcRect&)> report)
    : report_(std::move(report)) {
  again_.setSingleShot(true);
  QObject::connect(&again_, &QTimer::timeout, &again_, [this] { Ask(); });
  fd_ = Connect(socketPath);
  if (fd_ < 0) return;
  // Subscribed in two requests: a sway that does not know output events
  // (1.7) refuses a whole list that names them.
  std::string hello = Message(kSubscribe, R"(["workspace","barconfig_update","bar_state_update"])");
  hello += Message(kSubscribe, R"(["output"])");
  hello += Message(kGetWorkspaces, {});
  if (!Transfer(fd_, hello.data(), hello.size(), true, 500) ||
      fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK) != 0) {
    Stop();
    return;
  }
  notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, &again_, [this] { Read(); });
}

SwayWatch::~SwayWatch() {
  notifier_.reset();
  Stop();
}

void SwayWatch::Stop() {
  again_.stop();
  // A notifier must not watch a closed socket (it would read as ready for
  // ever); this may run inside its own signal, so it goes once that is over.
  if (notifier_) {
    notifier_->setEnabled(false);
    notifier_.release()->deleteLater();
  }
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  received_.clear();
}

void SwayWatch::Read() {
  char chunk[4096];
  for (;;) {
    const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
    if (n > 0) {
      received_.append(chunk, static_cast<std::size_t>(n));
      if (received_.size() > kHeader + kMaxPayload) break;
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (n < 0 && errno == EINTR) continue;
    Stop();  // sway has gone
    return;
  }
  std::size_t used = 0;
  while (received_.size() - used >= kHeader) {
    const char* m = received_.data() + used;
    std::uint32_t size = 0, type = 0;
    std::memcpy(&size, m + 6, 4);
    std::memcpy(&type, m + 10, 4);
    if (std::memcmp(m, "i3-ipc", 6) != 0 || size > kMaxPayload) {
      Stop();
      return;
    }
    if (received_.size() - used < kHeader + size) break;
    const std::string_view payload(m + kHeader, size);
    used += kHeader + size;
    Handle(type, payload);
    if (fd_ < 0) return;
  }
  received_.erase(0, used);
}

void SwayWatch::Handle(std::uint32_t type, std::string_view payload) {
  if ((type & kEvent) != 0) {
    // Something changed: ask now, and again while the answer is old.
    retriesLeft_ = kRetries;
    delayMs_ = kFirstDelayMs;
    again_.stop();
    Ask();
    return;
  }
  if (type != kGetWorkspaces) return;  // a subscription's answer
  const std::optional<IpcRect> rect = FocusedWorkspaceRect(payload);
  const bool news = rect && report_ && report_(*rect);
  if (news || retriesLeft_ <= 0) {
    retriesLeft_ = 0;
    return;
  }
  --retriesLeft_;
  again_.start(delayMs_);
  delayMs_ *= 2;
}

void SwayWatch::Ask() {
  if (fd_ < 0) return;
  std::string request = Message(kGetWorkspaces, {});
  if (!Transfer(fd_, request.data(), request.size(), true, 500)) Stop();
}

}  // namespace marivo::qt
