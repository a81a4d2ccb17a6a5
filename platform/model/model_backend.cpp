#include "platform/model/model_backend.h"

#include <algorithm>
#include <ctime>
#include <utility>

#include "platform/arith.h"
#include "platform/platform.h"
#include "platform/profile.h"
#include "tools/png_write.h"

namespace marivo {
namespace {

class ModelRegion final : public NativeRegion {
 public:
  explicit ModelRegion(std::vector<PixelRect> rects) : rects(std::move(rects)) {}
  std::vector<PixelRect> rects;
};

std::string Name(const WindowDesign& d) {
  return std::string(d.name);
}

}  // namespace

// A window of the model: it records what the window layer asks of it.
class ModelBackend::ModelWindow final : public NativeWindow {
 public:
  ModelWindow(ModelBackend& model, const WindowDesign& design, const WindowState& state)
      : model_(model) {
    window_.design = &design;
    window_.state = &state;
    window_.handle = model_.nextHandle_++;
    model_.stack_.insert(model_.stack_.begin(), &window_);
    model_.Log("load " + Name(design));
  }
  ~ModelWindow() override {
    auto& s = model_.stack_;
    s.erase(std::remove(s.begin(), s.end(), &window_), s.end());
    model_.Log("unload " + Name(*window_.design));
  }
  void SetBounds(int left, int top, int width, int height) override {
    const bool moved = left != window_.left || top != window_.top;
    const bool sized = width != window_.width || height != window_.height;
    window_.left = left;
    window_.top = top;
    window_.width = width;
    window_.height = height;
    if (moved)
      model_.Log("move " + Name(*window_.design) + " " + std::to_string(left) + "," +
                 std::to_string(top));
    if (sized)
      model_.Log("size " + Name(*window_.design) + " " + std::to_string(width) + "x" +
                 std::to_string(height));
  }
  void SetVisible(bool visible) override {
    window_.visible = visible;
    model_.Log((visible ? "show " : "hide ") + Name(*window_.design));
    if (visible) {
      // A window that is shown comes to the top and is painted.
      model_.Raise(&window_, true);
      PlatformEvent paint;
      paint.kind = PlatformEvent::Kind::Paint;
      paint.window = window_.design->id;
      if (model_.sink_ != nullptr) model_.sink_->Post(paint);
    }
  }
  void SetModal(bool modal) override { window_.modal = modal; }
  void SetBackColor(Color) override {}
  void SetCaption(const std::string&) override {}
  void SetPicture(const assets::Image* picture) override {
    model_.Log("picture " + Name(*window_.design) + " " +
               (picture != nullptr ? picture->name : "none"));
  }
  void ZOrder(int position) override {
    model_.Raise(&window_, position == 0);
    model_.Log("zorder " + Name(*window_.design) + " " + std::to_string(position));
  }
  bool SetRegion(std::unique_ptr<NativeRegion> region, int tag) override {
    if (model_.refuseShape_) {
      model_.refuseShape_ = false;
      return false;
    }
    auto* r = static_cast<ModelRegion*>(region.get());
    window_.shape = r->rects;
    window_.shaped = true;
    window_.shapeTag = tag;
    model_.Log("shape " + Name(*window_.design) + " " + std::to_string(tag));
    return true;
  }
  void ControlChanged(int) override {}
  void DrawingChanged() override {
    const auto& drawing = window_.state->drawing;
    if (!drawing.empty()) model_.Log("text " + Name(*window_.design) + " " + drawing.back().text);
  }
  void SetTopMost() override { window_.topMost = true; }
  std::uintptr_t Handle() const override { return window_.handle; }

  Window window_;

 private:
  ModelBackend& model_;
};

ModelBackend::ModelBackend() : ModelBackend(Options{}) {}

ModelBackend::ModelBackend(Options options)
    : options_(std::move(options)), random_(options_.seed) {}

ModelBackend::~ModelBackend() = default;

void ModelBackend::Raise(Window* window, bool toTop) {
  stack_.erase(std::remove(stack_.begin(), stack_.end(), window), stack_.end());
  if (toTop) {
    stack_.insert(stack_.begin(), window);
  } else {
    stack_.push_back(window);
  }
}

FrameInsets ModelBackend::Insets(BorderStyle border) {
  switch (border) {
    case BorderStyle::None:
      return {};
    case BorderStyle::ThinSingle:
      return {1, 1, 1, 1};
    case BorderStyle::FixedDialog:
    case BorderStyle::FixedSingle:
    case BorderStyle::Sizable:
      return {3, 3 + options_.screen.captionHeight, 3, 3};
  }
  return {};
}

void ModelBackend::PostAt(std::uint64_t at, PlatformEvent event) {
  script_.push_back({at, ++sequence_, event});
  std::stable_sort(script_.begin(), script_.end(), [](const Scripted& a, const Scripted& b) {
    return a.at != b.at ? a.at < b.at : a.sequence < b.sequence;
  });
}

namespace {
int ActionButtonSlot() {
  const auto& controls = Design(WindowId::frmCon).controls;
  for (int i = 0; i < int(controls.size()); ++i) {
    if (controls[i].name == "Picture1") return i;
  }
  return -1;
}
}  // namespace

void ModelBackend::PressAt(std::uint64_t at, int buttons) {
  PlatformEvent e;
  e.kind = PlatformEvent::Kind::PointerDown;
  e.window = WindowId::frmCon;
  e.control = ActionButtonSlot();
  e.buttons = buttons;
  PostAt(at, e);
}

void ModelBackend::ReleaseAt(std::uint64_t at, int buttons) {
  PlatformEvent e;
  e.kind = PlatformEvent::Kind::PointerUp;
  e.window = WindowId::frmCon;
  e.control = ActionButtonSlot();
  e.buttons = buttons;
  PostAt(at, e);
}

void ModelBackend::ClickAt(std::uint64_t at, WindowId window, int control) {
  PlatformEvent e;
  e.kind = PlatformEvent::Kind::Click;
  e.window = window;
  e.control = control;
  PostAt(at, e);
}

void ModelBackend::MoveAt(std::uint64_t at, WindowId window, int control) {
  PlatformEvent e;
  e.kind = PlatformEvent::Kind::PointerMove;
  e.window = window;
  e.control = control;
  PostAt(at, e);
}

void ModelBackend::CloseAt(std::uint64_t at, WindowId window) {
  PlatformEvent e;
  e.kind = PlatformEvent::Kind::CloseRequest;
  e.window = window;
  PostAt(at, e);
}

void ModelBackend::SessionEndAt(std::uint64_t at) {
  PlatformEvent e;
  e.kind = PlatformEvent::Kind::SessionEnding;
  PostAt(at, e);
}

void ModelBackend::QueueDraws(const std::vector<float>& draws) {
  draws_.insert(draws_.end(), draws.begin(), draws.end());
}

void ModelBackend::QueueMessageAnswer(MessageResult answer) {
  answers_.push_back(answer);
}

void ModelBackend::QueueMenuChoice(const std::string& item) {
  menuChoices_.push_back(item);
}

std::vector<std::string> ModelBackend::JournalWith(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const std::string& line : journal_) {
    if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line);
  }
  return out;
}

const ModelBackend::Window* ModelBackend::Find(WindowId id) const {
  for (const Window* w : stack_) {
    if (w->design->id == id) return w;
  }
  return nullptr;
}

std::vector<WindowId> ModelBackend::Stacking() const {
  std::vector<WindowId> out;
  for (const Window* w : stack_) out.push_back(w->design->id);
  return out;
}

void ModelBackend::CallAt(std::uint64_t at, std::function<void()> probe) {
  probes_.emplace(at, std::move(probe));
}

void ModelBackend::PollEvents() {
  while (!probes_.empty() && probes_.begin()->first <= elapsed_) {
    auto probe = std::move(probes_.begin()->second);
    probes_.erase(probes_.begin());
    probe();
  }
  if (sink_ == nullptr) return;
  std::size_t n = 0;
  while (n < script_.size() && script_[n].at <= elapsed_) {
    sink_->Post(script_[n].event);
    ++n;
  }
  script_.erase(script_.begin(), script_.begin() + static_cast<std::ptrdiff_t>(n));
}

void ModelBackend::WaitEvents(std::optional<std::uint32_t> deadline) {
  std::optional<std::uint64_t> target;
  if (!script_.empty()) target = std::max(script_.front().at, elapsed_);
  if (!probes_.empty()) {
    const std::uint64_t at = std::max(probes_.begin()->first, elapsed_);
    if (!target || at < *target) target = at;
  }
  if (deadline) {
    const std::uint32_t ahead = *deadline - TickCount();
    // A deadline already passed (the difference wraps past half the range)
    // wakes at once.
    const std::uint64_t at = ahead > 0x7FFFFFFFu ? elapsed_ : elapsed_ + ahead;
    if (!target || at < *target) target = at;
  }
  if (!target) throw ModelTimeLimit("the model waits for an event that is never coming");
  if (*target > options_.timeLimit) {
    throw ModelTimeLimit("the virtual clock passed the model's time limit");
  }
  elapsed_ = *target;
  PollEvents();
}

void ModelBackend::RunHeldMessage(std::uint64_t ms) {
  const std::uint64_t end = elapsed_ + ms;
  while (!ended_ && elapsed_ < end) {
    // The next thing to happen: a scripted event or probe, the game's
    // wakeup, or the person answering.
    std::uint64_t next = end;
    if (!script_.empty()) next = std::min(next, std::max(script_.front().at, elapsed_));
    if (!probes_.empty()) next = std::min(next, std::max(probes_.begin()->first, elapsed_));
    if (wakeup_) {
      const std::uint32_t ahead = *wakeup_ - TickCount();
      next = std::min(next, ahead > 0x7FFFFFFFu ? elapsed_ : elapsed_ + ahead);
    }
    if (next > options_.timeLimit) throw ModelTimeLimit("the virtual clock passed its limit");
    elapsed_ = next;
    PollEvents();
    if (sink_ == nullptr || !wakeup_ || std::int32_t(TickCount() - *wakeup_) < 0) continue;
    wakeup_.reset();
    try {
      sink_->RunDueTimers();
    } catch (const ProgramEnded&) {
      return;  // the box closes; the window layer carries the end on
    }
  }
}

std::unique_ptr<NativeWindow> ModelBackend::CreateNativeWindow(const WindowDesign& design,
                                                               const WindowState& state) {
  return std::make_unique<ModelWindow>(*this, design, state);
}

std::unique_ptr<NativeRegion> ModelBackend::BuildRegion(const void* data, std::uint32_t bytes) {
  if (failRegion_) {
    failRegion_ = false;
    return nullptr;
  }
  auto rects = ParseRegionData(data, bytes);
  if (!rects) return nullptr;
  return std::make_unique<ModelRegion>(std::move(*rects));
}

int ModelBackend::TextWidthPx(const FontDesign&, std::string_view text) {
  int width = 0;
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      width += 6;
      i += 1;
    } else {
      width += 11;
      i += c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    }
  }
  return width;
}

int ModelBackend::PopupMenu(NativeWindow*, const std::vector<MenuEntry>& entries) {
  std::vector<std::string> captions;
  for (const MenuEntry& e : entries) captions.push_back(e.caption);
  popups_.push_back(captions);
  Log("popup");
  if (menuChoices_.empty()) return -1;
  const std::string choice = menuChoices_.front();
  menuChoices_.erase(menuChoices_.begin());
  const auto& controls = Design(WindowId::frmMenu).controls;
  for (const MenuEntry& e : entries) {
    if (!e.separator && controls[e.control].name == choice) return e.control;
  }
  return -1;
}

MessageResult ModelBackend::MessageBox(const std::string& text, MessageStyle style,
                                       const std::string&) {
  messages_.push_back(text);
  Log("message " + text);
  if (messageHold_ > 0) {
    RunHeldMessage(std::exchange(messageHold_, 0));
    if (ended_) {
      Log("message closed");
      return style == MessageStyle::OkOnly ? MessageResult::Ok : MessageResult::No;
    }
  }
  MessageResult answer = style == MessageStyle::OkOnly ? MessageResult::Ok : MessageResult::No;
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.erase(answers_.begin());
  }
  return answer;
}

LocalTime ModelBackend::Now() {
  std::tm tm{};
  tm.tm_year = options_.startTime.year - 1900;
  tm.tm_mon = options_.startTime.month - 1;
  tm.tm_mday = options_.startTime.day;
  tm.tm_hour = options_.startTime.hour;
  tm.tm_min = options_.startTime.minute;
  tm.tm_sec = options_.startTime.second;
  const std::time_t start = timegm(&tm);
  const std::time_t now = start + static_cast<std::time_t>(elapsed_ / 1000);
  std::tm out{};
  gmtime_r(&now, &out);
  return {out.tm_year + 1900, out.tm_mon + 1, out.tm_mday, out.tm_hour, out.tm_min, out.tm_sec};
}

float ModelBackend::Rnd() {
  if (!draws_.empty()) {
    const float d = draws_.front();
    draws_.erase(draws_.begin());
    return d;
  }
  return random_.Next();
}

void ModelBackend::Randomize() {
  // Seeded from the virtual clock, so a run is repeatable.
  random_.Seed(options_.seed * 2654435761u + TickCount());
}

std::string ModelBackend::ReadProfileString(const std::string& section, const std::string& key,
                                            const std::string& path) {
  return profile::Read(section, key, path);
}

bool ModelBackend::WriteProfileString(const std::string& section, const std::string& key,
                                      const std::string& value, const std::string& path) {
  Log("write " + section + " " + key + "=" + value);
  return profile::Write(section, key, value, path);
}

FileAccess ModelBackend::ProbeFile(const std::string& path) {
  return posix::ProbeFile(path);
}

bool ModelBackend::FolderWritable(const std::string& folder) {
  return posix::FolderWritable(folder);
}

bool ModelBackend::MakeFolder(const std::string& folder) {
  return posix::MakeFolder(folder);
}

bool ModelBackend::CopyFile(const std::string& from, const std::string& to) {
  Log("copy " + from + " " + to);
  return posix::CopyFile(from, to);
}

bool ModelBackend::ClaimSingleInstance() {
  if (options_.lockDir.empty()) return true;
  // As on the desktop: the runtime folder, the settings folder, beside the
  // program.
  switch (instanceLock_.Claim({options_.lockDir, options_.userSettingsDir, options_.appPath},
                              "marivo2.lock")) {
    case posix::InstanceLock::Result::Held:
      Log("lock " + instanceLock_.Path());
      return true;
    case posix::InstanceLock::Result::Busy:
      return false;
    case posix::InstanceLock::Result::Nowhere:
      break;
  }
  Log("lock nowhere");
  return true;
}

void ModelBackend::ScreenChangeAt(std::uint64_t at, ScreenInfo screen) {
  CallAt(at, [this, screen] {
    options_.screen = screen;
    Log("screen " + std::to_string(screen.widthPx) + "x" + std::to_string(screen.heightPx));
    PlatformEvent event;
    event.kind = PlatformEvent::Kind::ScreenChanged;
    sink_->Post(event);
  });
}

void ModelBackend::End() {
  ended_ = true;
  Log("end");
}

std::vector<std::uint32_t> ModelBackend::Composite() const {
  const ScreenInfo& s = options_.screen;
  std::vector<std::uint32_t> px(std::size_t(s.widthPx) * s.heightPx, 0x3A6EA5);
  const int taskBarTop = s.fullScreenClientHeight + s.captionHeight;
  for (int y = std::max(0, taskBarTop); y < s.heightPx; ++y) {
    for (int x = 0; x < s.widthPx; ++x) px[std::size_t(y) * s.widthPx + x] = 0xC0C0C0;
  }
  auto plot = [&](int x, int y, std::uint32_t c) {
    if (x >= 0 && y >= 0 && x < s.widthPx && y < s.heightPx) px[std::size_t(y) * s.widthPx + x] = c;
  };
  const int tpp = s.twipsPerPixelX;
  for (auto it = stack_.rbegin(); it != stack_.rend(); ++it) {
    const Window& w = **it;
    if (!w.visible) continue;
    const WindowState& st = *w.state;
    const FrameInsets in = const_cast<ModelBackend*>(this)->Insets(w.design->border);
    const Color back = st.backColor == kButtonFace ? 0xD4D0C8 : st.backColor;
    // Client-area image of the window.
    const int cw = std::max(0, w.width - in.left - in.right);
    const int ch = std::max(0, w.height - in.top - in.bottom);
    std::vector<std::uint32_t> client(std::size_t(cw) * ch, back);
    auto cplot = [&](int x, int y, std::uint32_t c) {
      if (x >= 0 && y >= 0 && x < cw && y < ch) client[std::size_t(y) * cw + x] = c;
    };
    auto blit = [&](const assets::Image* img, int ox, int oy, int maxW, int maxH) {
      if (img == nullptr || img->Pixels() == nullptr) return;
      for (int y = 0; y < std::min(img->height, maxH); ++y) {
        for (int x = 0; x < std::min(img->width, maxW); ++x) cplot(ox + x, oy + y, img->At(x, y));
      }
    };
    blit(st.picture, 0, 0, cw, ch);
    for (const ControlState& c : st.controls) {
      const ControlDesign& d = *c.design;
      if (!c.visible || d.frameStore) continue;
      const int l = Nearest(c.left / tpp), t = Nearest(c.top / tpp);
      const int wpx = Nearest(c.width / tpp), hpx = Nearest(c.height / tpp);
      if (d.kind == ControlKind::PictureBox || d.kind == ControlKind::Image) {
        for (int y = 0; y < hpx; ++y)
          for (int x = 0; x < wpx; ++x)
            cplot(l + x, t + y, c.backColor == kButtonFace ? back : c.backColor);
        blit(c.picture, l, t, wpx, hpx);
      } else if (d.kind == ControlKind::Line) {
        const int x1 = Nearest(c.x1 / tpp), y1 = Nearest(c.y1 / tpp);
        const int x2 = Nearest(c.x2 / tpp), y2 = Nearest(c.y2 / tpp);
        const int n = std::max(std::abs(x2 - x1), std::abs(y2 - y1));
        for (int i = 0; i <= n; ++i) {
          const int x = n == 0 ? x1 : x1 + (x2 - x1) * i / n;
          const int y = n == 0 ? y1 : y1 + (y2 - y1) * i / n;
          cplot(x, y, d.foreColor);
        }
      } else if (d.kind == ControlKind::CommandButton) {
        for (int y = 0; y < hpx; ++y)
          for (int x = 0; x < wpx; ++x)
            cplot(l + x, t + y,
                  (x == 0 || y == 0 || x == wpx - 1 || y == hpx - 1) ? 0x404040 : 0xE0E0E0);
      }
    }
    // Text is shown as dark marks where it was printed (the model has no fonts).
    for (const TextRun& r : st.drawing) {
      const int x0 = Nearest(r.x / tpp), y0 = Nearest(r.y / tpp);
      const int tw = const_cast<ModelBackend*>(this)->TextWidthPx(r.font, r.text);
      for (int x = 0; x < tw; x += 2) cplot(x0 + x, y0 + 5, r.color);
    }
    for (int y = 0; y < w.height; ++y) {
      for (int x = 0; x < w.width; ++x) {
        if (w.shaped && !RegionContains(w.shape, x, y)) continue;
        const int cx = x - in.left, cy = y - in.top;
        std::uint32_t c;
        if (cx >= 0 && cy >= 0 && cx < cw && cy < ch) {
          c = client[std::size_t(cy) * cw + cx];
        } else if (y < in.top && y >= in.left && y < in.top - 1 && in.top > 4) {
          c = 0x0A246A;  // title bar
        } else {
          c = 0x808080;  // frame
        }
        plot(w.left + x, w.top + y, c);
      }
    }
  }
  return px;
}

bool ModelBackend::WritePicture(const std::string& path) const {
  const std::vector<std::uint32_t> px = Composite();
  return WritePng(path, options_.screen.widthPx, options_.screen.heightPx, px.data());
}

}  // namespace marivo
