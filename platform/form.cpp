#include <utility>

#include "platform/arith.h"
#include "platform/platform.h"

namespace marivo {

// -------------------------------------------------------------------- Form

Form::Form(Platform& platform, WindowId id)
    : platform_(platform), id_(id), design_(Design(id)), controls_(design_.controls.size()) {
  platform_.Register(*this);
  ResetToDesign();
}

Form::~Form() = default;

int Form::FindControl(std::string_view name, int index) const {
  for (int i = 0; i < int(design_.controls.size()); ++i) {
    const ControlDesign& c = design_.controls[i];
    if (c.name == name && c.index == index) return i;
  }
  throw std::out_of_range("no such control in the window's design");
}

void Form::ResetToDesign() {
  WindowState s;
  s.visible = false;
  s.backColor = design_.backColor;
  s.caption = std::string(design_.caption);
  s.picture = design_.picture;
  // Outer size from the design's client size and the desktop's frame.
  const FrameInsets in = platform_.GetBackend().Insets(design_.border);
  const double tx = platform_.TwipsPerPixelX();
  const double ty = platform_.TwipsPerPixelY();
  s.width = design_.clientWidth + (in.left + in.right) * tx;
  s.height = design_.clientHeight + (in.top + in.bottom) * ty;
  if (design_.border == BorderStyle::FixedDialog || design_.border == BorderStyle::FixedSingle) {
    // Dialogs open centred until they place themselves.
    s.left = double(Nearest((platform_.ScreenWidth() - s.width) / 2 / tx)) * tx;
    s.top = double(Nearest((platform_.ScreenHeight() - s.height) / 2 / ty)) * ty;
  }
  s.controls.reserve(design_.controls.size());
  for (const ControlDesign& d : design_.controls) s.controls.push_back(DesignedState(d));
  state_ = std::move(s);
}

void Form::Load() {
  if (loaded_) return;
  if (platform_.Ended()) throw ProgramEnded{};
  ResetToDesign();
  loaded_ = true;
  ++generation_;
  const std::uint32_t now = platform_.TickCount();
  for (ControlState& c : state_.controls) {
    if (c.design->kind != ControlKind::Timer) continue;
    c.order = platform_.NextOrder();
    c.deadline = now + static_cast<std::uint32_t>(c.interval);
  }
  native_ = platform_.GetBackend().CreateNativeWindow(design_, state_);
  PushBounds();
  OnLoad();
}

void Form::Unload() {
  if (!loaded_) return;
  loaded_ = false;
  ++generation_;
  platform_.PopModal(this);
  native_.reset();
  ResetToDesign();
}

void Form::Show(bool modal) {
  EnsureLoaded();
  // Modal before it is shown: a desktop toolkit changes a shown window's
  // modality by hiding and showing it again, and a window manager can lose
  // a window unmapped and mapped again that quickly; the game would then
  // wait for a dialog nobody sees, with all other input dropped.
  if (modal) native_->SetModal(true);
  SetVisible(true);
  if (!modal) return;
  const std::uint64_t generation = generation_;
  state_.modal = true;
  platform_.PushModal(this);
  // Returns when the window is closed (unloaded) or hidden.
  while (loaded_ && generation_ == generation && state_.visible) {
    platform_.PumpUntil(std::nullopt);
  }
  if (loaded_ && generation_ == generation) {
    state_.modal = false;
    native_->SetModal(false);
    platform_.PopModal(this);
  }
}

void Form::Hide() {
  SetVisible(false);
}

void Form::PushBounds() {
  if (!native_) return;
  native_->SetBounds(platform_.ToPixelsX(state_.left), platform_.ToPixelsY(state_.top),
                     platform_.ToPixelsX(state_.width), platform_.ToPixelsY(state_.height));
}

double Form::Left() {
  EnsureLoaded();
  return state_.left;
}
double Form::Top() {
  EnsureLoaded();
  return state_.top;
}
double Form::Width() {
  EnsureLoaded();
  return state_.width;
}
double Form::Height() {
  EnsureLoaded();
  return state_.height;
}
void Form::SetLeft(double twips) {
  EnsureLoaded();
  state_.left = twips;
  PushBounds();
}
void Form::SetTop(double twips) {
  EnsureLoaded();
  state_.top = twips;
  PushBounds();
}
void Form::SetWidth(double twips) {
  EnsureLoaded();
  state_.width = twips;
  PushBounds();
}
void Form::SetHeight(double twips) {
  EnsureLoaded();
  state_.height = twips;
  PushBounds();
}
void Form::Move(double left, double top) {
  EnsureLoaded();
  state_.left = left;
  state_.top = top;
  PushBounds();
}
void Form::Move(double left, double top, double width, double height) {
  EnsureLoaded();
  state_.left = left;
  state_.top = top;
  state_.width = width;
  state_.height = height;
  PushBounds();
}

bool Form::Visible() {
  EnsureLoaded();
  return state_.visible;
}
void Form::SetVisible(bool visible) {
  EnsureLoaded();
  if (state_.visible == visible) return;
  state_.visible = visible;
  native_->SetVisible(visible);
}

Color Form::BackColor() {
  EnsureLoaded();
  return state_.backColor;
}
void Form::SetBackColor(Color color) {
  EnsureLoaded();
  state_.backColor = color;
  native_->SetBackColor(color);
}

std::string Form::Caption() {
  EnsureLoaded();
  return state_.caption;
}
void Form::SetCaption(const std::string& caption) {
  EnsureLoaded();
  state_.caption = caption;
  native_->SetCaption(caption);
}

const assets::Image* Form::Picture() {
  EnsureLoaded();
  return state_.picture;
}
void Form::SetPicture(const assets::Image* picture) {
  EnsureLoaded();
  state_.picture = picture;
  native_->SetPicture(picture);
}

void Form::ZOrder(int position) {
  EnsureLoaded();
  native_->ZOrder(position);
}

void Form::Cls() {
  EnsureLoaded();
  state_.drawing.clear();
  state_.currentX = 0;
  state_.currentY = 0;
  native_->DrawingChanged();
}

double Form::CurrentY() {
  EnsureLoaded();
  return state_.currentY;
}
void Form::SetCurrentY(double twips) {
  EnsureLoaded();
  state_.currentY = twips;
}

void Form::Print(std::string_view text) {
  EnsureLoaded();
  TextRun run;
  run.x = state_.currentX;
  run.y = state_.currentY;
  run.text = std::string(text);
  run.font = design_.font;
  run.color = design_.foreColor;
  state_.drawing.push_back(std::move(run));
  // The drawing position moves to the start of the next line.
  state_.currentX = 0;
  state_.currentY += design_.font.points * 20.0 * 1.2;
  native_->DrawingChanged();
}

double Form::TextWidth(std::string_view text) {
  EnsureLoaded();
  return double(platform_.GetBackend().TextWidthPx(design_.font, text)) *
         platform_.TwipsPerPixelX();
}

std::uintptr_t Form::hWnd() {
  EnsureLoaded();
  return native_->Handle();
}

ShapeResult Form::SetShape(const void* data, std::uint32_t bytes, int tag) {
  EnsureLoaded();
  std::unique_ptr<NativeRegion> region = platform_.GetBackend().BuildRegion(data, bytes);
  if (!region) return ShapeResult::RegionFailed;
  if (!native_->SetRegion(std::move(region), tag)) return ShapeResult::WindowRefused;
  return ShapeResult::Ok;
}

void Form::SetTopMost() {
  EnsureLoaded();
  native_->SetTopMost();
}

void Form::PopupMenu(MenuItem& item) {
  EnsureLoaded();
  Form& menuForm = item.Parent();
  menuForm.EnsureLoaded();
  const std::string_view parent = item.Name();
  std::vector<MenuEntry> entries;
  for (int i = 0; i < int(menuForm.state_.controls.size()); ++i) {
    const ControlState& c = menuForm.state_.controls[i];
    if (c.design->kind != ControlKind::MenuItem || c.design->parent != parent || !c.visible) {
      continue;
    }
    entries.push_back({i, c.caption, c.caption == "-"});
  }
  // The backend keeps the game's timers running inside the menu; a timer
  // switched on by the handler that opens it must be known there.
  platform_.UpdateWakeup();
  const int chosen = platform_.GetBackend().PopupMenu(native_.get(), entries);
  if (platform_.Ended()) throw ProgramEnded{};
  if (chosen < 0 || !menuForm.loaded_) return;
  if (Control* control = menuForm.ControlFor(chosen)) menuForm.OnClick(*control);
}

ControlState& Form::ControlAt(int slot) {
  EnsureLoaded();
  return state_.controls[slot];
}

void Form::ControlChanged(int slot) {
  if (native_) native_->ControlChanged(slot);
}

// ----------------------------------------------------------------- Control

Control::Control(Form& form, std::string_view name, int index)
    : form_(form), slot_(form.FindControl(name, index)) {
  form_.RegisterControl(slot_, this);
}

std::string_view Control::Name() const {
  return form_.GetDesign().controls[slot_].name;
}
int Control::Index() const {
  return form_.GetDesign().controls[slot_].index;
}

bool Control::Visible() {
  return State().visible;
}
void Control::SetVisible(bool visible) {
  ControlState& s = State();
  if (s.visible == visible) return;
  s.visible = visible;
  Changed();
}

bool Timer::Enabled() {
  return State().enabled;
}
void Timer::SetEnabled(bool enabled) {
  ControlState& s = State();
  if (enabled && !s.enabled) {
    // Switching a timer on starts its interval afresh.
    s.deadline = form_.GetPlatform().TickCount() + static_cast<std::uint32_t>(s.interval);
    s.rearmed = true;
  }
  s.enabled = enabled;
}
int Timer::Interval() {
  return State().interval;
}
void Timer::SetInterval(int milliseconds) {
  ControlState& s = State();
  s.interval = milliseconds;
  s.deadline = form_.GetPlatform().TickCount() + static_cast<std::uint32_t>(milliseconds);
}

const assets::Image* PictureBox::Picture() {
  return State().picture;
}
void PictureBox::SetPicture(const assets::Image* picture) {
  State().picture = picture;
  Changed();
}
Color PictureBox::BackColor() {
  return State().backColor;
}
void PictureBox::SetBackColor(Color color) {
  ControlState& s = State();
  if (s.backColor == color) return;
  s.backColor = color;
  Changed();
}
double PictureBox::Left() {
  return State().left;
}
double PictureBox::Top() {
  return State().top;
}
double PictureBox::Width() {
  return State().width;
}
double PictureBox::Height() {
  return State().height;
}
void PictureBox::SetWidth(double twips) {
  State().width = twips;
  Changed();
}
std::string PictureBox::ToolTipText() {
  return State().toolTipText;
}
void PictureBox::SetToolTipText(const std::string& text) {
  State().toolTipText = text;
  Changed();
}

std::string Label::Caption() {
  return State().caption;
}
void Label::SetCaption(const std::string& caption) {
  ControlState& s = State();
  if (s.caption == caption) return;
  s.caption = caption;
  Changed();
}

double Line::X1() {
  return State().x1;
}
double Line::Y1() {
  return State().y1;
}
double Line::X2() {
  return State().x2;
}
double Line::Y2() {
  return State().y2;
}
void Line::SetX1(double twips) {
  State().x1 = twips;
  Changed();
}
void Line::SetY1(double twips) {
  State().y1 = twips;
  Changed();
}
void Line::SetX2(double twips) {
  State().x2 = twips;
  Changed();
}
void Line::SetY2(double twips) {
  State().y2 = twips;
  Changed();
}

std::string CommandButton::Caption() {
  return State().caption;
}
std::string MenuItem::Caption() {
  return State().caption;
}

}  // namespace marivo
