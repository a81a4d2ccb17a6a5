#include "platform/qt/qt_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QToolTip>
#include <QWindow>
#include <algorithm>

#include "platform/arith.h"
#include "platform/qt/qt_backend.h"
#include "platform/qt/qt_support.h"

namespace marivo::qt {
namespace {

int ButtonBit(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton:
      return kButtonLeft;
    case Qt::RightButton:
      return kButtonRight;
    case Qt::MiddleButton:
      return kButtonMiddle;
    default:
      return 0;
  }
}

int SlotOfBit(int bit) {
  return bit == kButtonLeft ? 0 : bit == kButtonRight ? 1 : 2;
}

int ShiftBits(Qt::KeyboardModifiers modifiers) {
  int shift = 0;
  if (modifiers & Qt::ShiftModifier) shift |= 1;
  if (modifiers & Qt::ControlModifier) shift |= 2;
  if (modifiers & Qt::AltModifier) shift |= 4;
  return shift;
}

QString ToQString(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

Qt::WindowFlags FlagsFor(BorderStyle border, bool unmanaged) {
  switch (border) {
    case BorderStyle::None:
    case BorderStyle::ThinSingle:
      // Sprites and the control bar: no frame, no focus, no task bar entry.
      // Under XWayland the Wayland compositor places managed windows itself
      // (sway tiles them, weston and sway centre them): there they are left
      // unmanaged, which keeps them where the game puts them.
      return Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
             (unmanaged ? Qt::X11BypassWindowManagerHint : Qt::WindowFlags());
    case BorderStyle::FixedDialog:
      return Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
             Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
    case BorderStyle::FixedSingle:
      return Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
             Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint;
    case BorderStyle::Sizable:
      return Qt::Window;
  }
  return Qt::Window;
}

}  // namespace

bool Decorated(BorderStyle border) {
  return border == BorderStyle::FixedDialog || border == BorderStyle::FixedSingle ||
         border == BorderStyle::Sizable;
}

// ------------------------------------------------------------------ Surface

Surface::Surface(QtBackend& backend, const WindowDesign& design, const WindowState& state)
    : QWidget(nullptr, FlagsFor(design.border, backend.Desktop().Xwayland())),
      backend_(backend),
      design_(design),
      state_(state),
      buttons_(design.controls.size(), nullptr) {
  setObjectName(QString::fromUtf8(design.name.data(), qsizetype(design.name.size())));
  if (!Decorated(design.border)) {
    // Pixels outside the outline are transparent as well as cut away: a
    // compositor that draws the whole rectangle (XWayland's do, ignoring
    // the X shape) shows the desktop there. Without a compositor the
    // shape alone cuts them; the alpha is never seen.
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    // Captions of frameless windows never show; the window's name helps
    // anyone looking at the desktop's window tree.
    setWindowTitle(objectName());
  } else {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowTitle(ToQString(state.caption));
    // Dialogs report pointer moves without a button held.
    setMouseTracking(true);
  }
  if (design.border == BorderStyle::ThinSingle) clientOrigin_ = QPoint(1, 1);
  if (design.icon != nullptr) {
    setWindowIcon(QIcon(QPixmap::fromImage(backend_.ImageFor(design.icon))));
  }
  for (int i = 0; i < int(design.controls.size()); ++i) {
    const ControlDesign& d = design.controls[i];
    if (d.kind != ControlKind::CommandButton) continue;
    auto* button = new QPushButton(ToQString(std::string(d.caption)), this);
    button->setFont(backend_.Font(d.font));
    button->setDefault(d.isDefault);
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, this, [this, i] {
      PlatformEvent e;
      e.kind = PlatformEvent::Kind::Click;
      e.window = design_.id;
      e.control = i;
      backend_.Post(e);
    });
    buttons_[i] = button;
  }
  SyncButtons();
}

QPushButton* Surface::Button(int control) const {
  return control >= 0 && control < int(buttons_.size()) ? buttons_[control] : nullptr;
}

QRect Surface::ControlRect(const ControlState& c) const {
  return QRect(TwipsToPixels(c.left), TwipsToPixels(c.top), TwipsToPixels(c.width),
               TwipsToPixels(c.height));
}

void Surface::SyncButtons() {
  for (int i = 0; i < int(buttons_.size()); ++i) {
    QPushButton* button = buttons_[i];
    if (button == nullptr || i >= int(state_.controls.size())) continue;
    const ControlState& c = state_.controls[i];
    button->setGeometry(ControlRect(c).translated(clientOrigin_ - origin_));
    button->setText(ToQString(c.caption));
    button->setVisible(c.visible);
  }
}

void Surface::SetView(QPoint origin, QSize whole, const std::optional<QRegion>& outline) {
  if (origin == origin_ && whole == whole_ && outline == outline_) return;
  const bool moved = origin != origin_;
  origin_ = origin;
  whole_ = whole;
  outline_ = outline;
  if (moved) SyncButtons();
  update();
}

int Surface::PictureAt(QPoint windowPoint) const {
  const QPoint p = windowPoint - clientOrigin_;
  const QRect client(QPoint(0, 0), Whole() - QSize(2 * clientOrigin_.x(), 2 * clientOrigin_.y()));
  if (!client.contains(p)) return -1;
  // The last drawn lies on top.
  for (int i = int(state_.controls.size()) - 1; i >= 0; --i) {
    const ControlState& c = state_.controls[i];
    const ControlDesign& d = *c.design;
    if (d.kind != ControlKind::PictureBox || !c.visible || d.frameStore) continue;
    if (ControlRect(c).contains(p)) return i;
  }
  return -1;
}

bool Surface::OverLabel(QPoint windowPoint) const {
  const QPoint p = windowPoint - clientOrigin_;
  for (const ControlState& c : state_.controls) {
    if (c.design->kind == ControlKind::Label && c.visible && ControlRect(c).contains(p)) {
      return true;
    }
  }
  return false;
}

void Surface::paintEvent(QPaintEvent*) {
  QPainter p(this);
  // Pixel art stays crisp when a high-density screen scales it.
  p.setRenderHint(QPainter::SmoothPixmapTransform, false);
  p.setRenderHint(QPainter::Antialiasing, false);
  // Painted in the window's own pixels; the widget may show only a part.
  p.translate(-origin_);
  const QRect whole(QPoint(0, 0), Whole());
  if (outline_) p.setClipRegion(*outline_);
  const QColor face = palette().color(QPalette::Window);
  p.fillRect(whole, ToQColor(state_.backColor, face));

  const QSize clientSize = whole.size() - QSize(2 * clientOrigin_.x(), 2 * clientOrigin_.y());
  p.save();
  p.setClipRect(QRect(clientOrigin_, clientSize), outline_ ? Qt::IntersectClip : Qt::ReplaceClip);
  p.translate(clientOrigin_);
  if (state_.picture != nullptr) p.drawImage(QPoint(0, 0), backend_.ImageFor(state_.picture));

  // Icons lie above the labels beside them (the version dialog's title
  // overlaps its icon), so images are painted in a second pass.
  for (int pass = 0; pass < 2; ++pass) {
    for (const ControlState& c : state_.controls) {
      const ControlDesign& d = *c.design;
      if (!c.visible || d.frameStore) continue;
      if ((d.kind == ControlKind::Image) != (pass == 1)) continue;
      const QRect r = ControlRect(c);
      switch (d.kind) {
        case ControlKind::PictureBox:
        case ControlKind::Image:
          if (d.kind == ControlKind::PictureBox) p.fillRect(r, ToQColor(c.backColor, face));
          if (c.picture != nullptr) {
            // A picture box clips its picture; the gauge relies on it.
            p.save();
            p.setClipRect(r, Qt::IntersectClip);
            p.drawImage(r.topLeft(), backend_.ImageFor(c.picture));
            p.restore();
          }
          break;
        case ControlKind::Label: {
          if (!d.transparent) p.fillRect(r, ToQColor(c.backColor, face));
          if (!backend_.FontsReady()) break;  // drawn again once they are
          StartupTrace::Scope fonts(backend_.Trace(), StartupTrace::Part::Fonts);
          const QString text = ToQString(c.caption);
          p.setFont(FitFont(backend_.Font(d.font), text, r.width()));
          p.setPen(ToQColor(d.foreColor, Qt::black));
          const int align = d.align == TextAlign::Center ? Qt::AlignHCenter : Qt::AlignLeft;
          p.drawText(r, align | Qt::AlignTop | Qt::TextSingleLine, text);
          backend_.Trace().NoteTextShown();
          break;
        }
        case ControlKind::Line:
          p.setPen(QPen(ToQColor(d.foreColor, Qt::black), 0));
          p.drawLine(TwipsToPixels(c.x1), TwipsToPixels(c.y1), TwipsToPixels(c.x2),
                     TwipsToPixels(c.y2));
          break;
        case ControlKind::Shape:
          p.setPen(QPen(ToQColor(d.foreColor, Qt::black), 0));
          p.setBrush(Qt::NoBrush);
          p.drawRect(r.adjusted(0, 0, -1, -1));
          break;
        case ControlKind::CommandButton:  // real buttons
        case ControlKind::Timer:
        case ControlKind::MenuItem:
          break;
      }
    }
  }

  for (const TextRun& run : state_.drawing) {
    if (!backend_.FontsReady()) break;
    StartupTrace::Scope fonts(backend_.Trace(), StartupTrace::Part::Fonts);
    const QFont& font = backend_.Font(run.font);
    p.setFont(font);
    p.setPen(ToQColor(run.color, Qt::black));
    // The drawing position is the top of the line of text.
    const double x = run.x / kTwipsPerPixel;
    const double y = run.y / kTwipsPerPixel + QFontMetricsF(font).ascent();
    p.drawText(QPointF(x, y), ToQString(run.text));
  }
  p.restore();

  if (design_.border == BorderStyle::ThinSingle) {
    p.setPen(QPen(QColor(0x64, 0x64, 0x64), 0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(whole.adjusted(0, 0, -1, -1));
  }

  PlatformEvent e;
  e.kind = PlatformEvent::Kind::Paint;
  e.window = design_.id;
  backend_.Post(e);
  backend_.NoteShown(design_.id);
}

void Surface::mousePressEvent(QMouseEvent* event) {
  const int bit = ButtonBit(event->button());
  if (bit == 0) return;
  const QPoint at = event->position().toPoint() + origin_;
  const int control = PictureAt(at);
  pressed_[SlotOfBit(bit)] = control;
  // Only picture boxes take presses; the window, labels and lines ignore them.
  if (control < 0) return;
  PostPointer(PlatformEvent::Kind::PointerDown, control, bit, event);
}

void Surface::PostPointer(PlatformEvent::Kind kind, int control, int bit, QMouseEvent* event) {
  const QPoint at = event->position().toPoint() + origin_;
  PlatformEvent e;
  e.kind = kind;
  e.window = design_.id;
  e.control = control;
  e.buttons = bit;
  e.shift = ShiftBits(event->modifiers());
  const QRect r = ControlRect(state_.controls[control]).translated(clientOrigin_);
  e.x = at.x() - r.x();
  e.y = at.y() - r.y();
  backend_.Post(e);
}

void Surface::mouseReleaseEvent(QMouseEvent* event) {
  const int bit = ButtonBit(event->button());
  if (bit == 0) return;
  // The release belongs to the control that took the press.
  const int control = std::exchange(pressed_[SlotOfBit(bit)], -1);
  if (control < 0 || control >= int(state_.controls.size())) return;
  PostPointer(PlatformEvent::Kind::PointerUp, control, bit, event);
}

void Surface::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint() + origin_;
  const int control = PictureAt(at);
  // Labels take the move themselves and do nothing with it.
  if (control < 0 && OverLabel(at)) return;
  PlatformEvent e;
  e.kind = PlatformEvent::Kind::PointerMove;
  e.window = design_.id;
  e.control = control;
  e.x = at.x();
  e.y = at.y();
  backend_.Post(e);
}

void Surface::closeEvent(QCloseEvent* event) {
  // The game decides; it unloads the window itself.
  event->ignore();
  PlatformEvent e;
  e.kind = PlatformEvent::Kind::CloseRequest;
  e.window = design_.id;
  backend_.Post(e);
}

void Surface::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    for (QPushButton* button : buttons_) {
      if (button != nullptr && button->isDefault() && button->isVisible()) {
        button->click();
        return;
      }
    }
  }
  QWidget::keyPressEvent(event);
}

void Surface::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  for (QPushButton* button : buttons_) {
    if (button != nullptr && button->isDefault()) button->setFocus();
  }
}

bool Surface::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const int control = PictureAt(help->pos() + origin_);
    if (control >= 0 && !state_.controls[control].toolTipText.empty()) {
      QToolTip::showText(help->globalPos(), ToQString(state_.controls[control].toolTipText), this,
                         ControlRect(state_.controls[control]).translated(clientOrigin_ - origin_));
    } else {
      QToolTip::hideText();
      event->ignore();
    }
    return true;
  }
  return QWidget::event(event);
}

// ----------------------------------------------------------------- QtWindow

QtWindow::QtWindow(QtBackend& backend, const WindowDesign& design, const WindowState& state)
    : backend_(backend),
      design_(design),
      surface_(std::make_unique<Surface>(backend, design, state)) {
  backend_.Register(this);
  mapTimer_.setSingleShot(true);
  mapTimer_.setInterval(0);
  mapTimer_.callOnTimeout([this] { MapNow(); });
}

QtWindow::~QtWindow() {
  backend_.Unregister(this);
  surface_->hide();
}

void QtWindow::Place() {
  if (Decorated(design_.border) || want_.isEmpty()) return;
  const QRect allowed = backend_.AllowedArea();
  const QRect seen = want_ & allowed;
  // A managed window near an edge of the screen reaches further in than
  // the part that shows (see ClearOfEdges); unmanaged ones are never pulled.
  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect native = screen == nullptr || backend_.Desktop().Xwayland()
                           ? seen
                           : ClearOfEdges(seen, screen->geometry(), allowed, kEdgeReach);
  const QPoint origin = native.topLeft() - want_.topLeft();
  bool showing = !seen.isEmpty();
  std::optional<QRegion> mask = outline_;
  if (showing && native != want_) {
    // Only the part of the outline that shows, in the widget's own pixels.
    const QRegion whole = outline_ ? *outline_ : QRegion(QRect(QPoint(0, 0), want_.size()));
    mask = whole.intersected(seen.translated(-want_.topLeft())).translated(-origin);
    showing = !mask->isEmpty();
  }
  origin_ = origin;
  surface_->SetView(origin, want_.size(), Drawn());
  // winId() creates the native window if it does not exist yet.
  const auto id = static_cast<std::uint32_t>(surface_->winId());
  if (showing) {
    surface_->setGeometry(native);
    // The outline is the native window's X shape, not the widget's mask: a
    // widget mask would also keep Qt from repainting outside it. XWayland
    // gets no bounding shape: its compositor draws the whole rectangle,
    // and the X server draws nothing outside the shape, so the pixels of
    // an earlier, larger outline (the angler's swing) would stay there for
    // good; the transparent background is the outline there. The pointer
    // still goes by the outline: only the input shape is set, so a click
    // on a transparent part is not the game's.
    const QRegion wanted = mask ? *mask : QRegion();
    if (!shaped_ || *shaped_ != wanted) {
      if (backend_.Desktop().Xwayland()) {
        backend_.Desktop().SetInputShape(id, wanted, surface_->devicePixelRatioF());
      } else {
        surface_->windowHandle()->setMask(wanted);
      }
      shaped_ = wanted;
    }
  }
  // What the game placed, for tools that follow it, in device pixels.
  const qreal ratio = surface_->devicePixelRatioF();
  backend_.Desktop().SetPlace(id, Nearest(want_.x() * ratio), Nearest(want_.y() * ratio),
                              Nearest(want_.width() * ratio), Nearest(want_.height() * ratio));
  if (visible_ && showing) {
    // Mapped once the game's current step is over, where that step left
    // it: a window shown and moved at once (the catch, shown where it was
    // loaded and then put at the water line) never flashes at the first
    // place while the window manager catches up with the move.
    if (!surface_->isVisible() && !mapTimer_.isActive()) mapTimer_.start();
  } else {
    mapTimer_.stop();
    if (surface_->isVisible()) surface_->hide();
  }
  backend_.ReclipBelow(this);
}

void QtWindow::MapNow() {
  if (!visible_ || surface_->isVisible()) return;
  ShowSurface();
  // Mapped, it comes up on top: back below the others if it was sent there.
  backend_.Restack(this, lowered_);
  if (lowered_) LowerNative();
  backend_.ReclipBelow(this);
}

QRegion QtWindow::Covers() const {
  if (!surface_->isVisible()) return {};
  // An outline may reach past the window's edge; only the window shows it.
  const QRect whole(QPoint(0, 0), want_.size());
  const QRegion own = outline_ ? *outline_ & whole : QRegion(whole);
  return own.translated(want_.topLeft()) & backend_.AllowedArea();
}

std::optional<QRegion> QtWindow::Drawn() const {
  if (!backend_.Desktop().Xwayland()) return outline_;
  // sway draws XWayland's unmanaged windows in the order they were mapped,
  // whatever the X stacking says: what our windows above this one cover
  // is left out of its picture, so the sunk float stays behind the sea.
  const QRegion covered = backend_.CoveredAbove(this).translated(-want_.topLeft());
  if (covered.isEmpty()) return outline_;
  const QRegion own = outline_ ? *outline_ : QRegion(QRect(QPoint(0, 0), want_.size()));
  return own - covered;
}

void QtWindow::Reclip() {
  if (Decorated(design_.border) || want_.isEmpty()) return;
  surface_->SetView(origin_, want_.size(), Drawn());
}

void QtWindow::SetBounds(int left, int top, int width, int height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  if (!Decorated(design_.border)) {
    want_ = QRect(left, top, width, height);
    Place();
  } else {
    // The window manager draws the frame: place the frame, size the client.
    constexpr int kSide = 3, kTop = 3 + kCaptionHeight;
    const QSize client(std::max(1, width - 2 * kSide), std::max(1, height - kTop - kSide));
    if (design_.border == BorderStyle::Sizable) {
      surface_->resize(client);
    } else {
      surface_->setFixedSize(client);
    }
    surface_->move(left, top);
  }
  surface_->SyncButtons();
}

void QtWindow::ShowSurface() {
  if (!Decorated(design_.border) && !surface_->isVisible()) {
    backend_.Restack(this, false);
    // winId() creates the native window if it does not exist yet.
    backend_.Desktop().PrepareSprite(static_cast<std::uint32_t>(surface_->winId()));
    surface_->show();
    // Qt has just made the tool window transient for the program's group
    // again, as it does on every showing; KWin would keep it above the
    // group's earlier windows (the float above the sea) whatever is asked.
    const qreal ratio = surface_->devicePixelRatioF();
    const QPoint place = surface_->geometry().topLeft();
    backend_.Desktop().ForgetTransient(static_cast<std::uint32_t>(surface_->winId()),
                                       Nearest(place.x() * ratio), Nearest(place.y() * ratio));
    return;
  }
  surface_->show();
}

void QtWindow::SetVisible(bool visible) {
  visible_ = visible;
  if (visible) backend_.NoteShowing(design_.id);
  if (!Decorated(design_.border)) {
    Place();
  } else if (visible) {
    ShowSurface();
  } else {
    surface_->hide();
  }
}

void QtWindow::SetModal(bool modal) {
  const Qt::WindowModality wanted = modal ? Qt::ApplicationModal : Qt::NonModal;
  if (surface_->windowModality() == wanted) return;
  // Qt takes a change of modality only while the window is hidden.
  const bool shown = surface_->isVisible();
  if (shown) surface_->hide();
  surface_->setWindowModality(wanted);
  if (shown) ShowSurface();
}

void QtWindow::SetBackColor(Color) {
  surface_->update();
}

void QtWindow::SetCaption(const std::string& caption) {
  if (Decorated(design_.border)) surface_->setWindowTitle(ToQString(caption));
}

void QtWindow::SetPicture(const assets::Image*) {
  surface_->update();
}

std::uint32_t QtWindow::ShownSpriteId() const {
  const QWindow* handle = surface_->windowHandle();
  if (Decorated(design_.border) || handle == nullptr || handle->handle() == nullptr ||
      !handle->isVisible()) {
    return 0;
  }
  return std::uint32_t(handle->winId());
}

void QtWindow::RaiseNative() {
  if (const std::uint32_t id = ShownSpriteId()) backend_.Desktop().RaiseToTop(id);
}

void QtWindow::LowerNative() {
  surface_->lower();
  // A sprite is managed by the window manager, which is asked as well.
  if (const std::uint32_t id = ShownSpriteId()) backend_.Desktop().LowerToBottom(id);
}

void QtWindow::ZOrder(int position) {
  lowered_ = position == 1;
  if (position == 1) {
    LowerNative();
  } else {
    surface_->raise();
  }
  backend_.Restack(this, lowered_);
}

bool QtWindow::SetRegion(std::unique_ptr<NativeRegion> region, int) {
  auto* r = dynamic_cast<QtRegion*>(region.get());
  // An empty outline would leave the whole rectangle showing: refuse it.
  if (r == nullptr || r->region.isEmpty()) return false;
  outline_ = r->region;
  if (Decorated(design_.border)) {
    surface_->setMask(r->region);
    surface_->update();
  } else {
    Place();
  }
  return true;
}

void QtWindow::ControlChanged(int control) {
  if (surface_->Button(control) != nullptr) surface_->SyncButtons();
  surface_->update();
}

void QtWindow::DrawingChanged() {
  surface_->update();
}

void QtWindow::SetTopMost() {
  if (topMost_) return;
  topMost_ = true;
  const bool shown = surface_->isVisible();
  surface_->setWindowFlag(Qt::WindowStaysOnTopHint, true);
  if (shown) ShowSurface();
}

std::uintptr_t QtWindow::Handle() const {
  return static_cast<std::uintptr_t>(surface_->winId());
}

}  // namespace marivo::qt
