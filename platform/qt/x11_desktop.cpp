#include "platform/qt/x11_desktop.h"

#include <xcb/shape.h>
#include <xcb/xcb.h>
#include <xcb/xproto.h>

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/arith.h"

namespace marivo::qt {
namespace {

// xcb replies are malloc'ed; they go back with free().
struct FreeReply {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

// The atoms the desktop's marks and hints are made of, interned together
// at the start: one round trip to the X server instead of one each.
constexpr const char* kAtomNames[] = {
    "WM_PROTOCOLS",
    "WM_TAKE_FOCUS",
    "_COMPTON_SHADOW",
    "_NET_ACTIVE_WINDOW",
    "_NET_CLIENT_LIST",
    "_NET_RESTACK_WINDOW",
    "_NET_WM_STATE",
    "_NET_WM_STATE_SKIP_PAGER",
    "_NET_WM_STATE_SKIP_TASKBAR",
    "_NET_WM_STRUT",
    "_NET_WM_STRUT_PARTIAL",
    "_NET_WM_WINDOW_TYPE",
    "_NET_WM_WINDOW_TYPE_DOCK",
    "_NET_WM_WINDOW_TYPE_NORMAL",
    "_NET_WORKAREA",
};

// Asks for a 32-bit list property; ListFrom waits for the answer, so that
// several questions can be on their way at once.
xcb_get_property_cookie_t AskList(xcb_connection_t* connection, std::uint32_t window,
                                  std::uint32_t atom) {
  return xcb_get_property(connection, 0, window, atom, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024);
}

std::vector<std::uint32_t> ListFrom(xcb_connection_t* connection,
                                    xcb_get_property_cookie_t cookie) {
  std::vector<std::uint32_t> out;
  Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection, cookie, nullptr));
  if (!reply || reply->format != 32) return out;
  const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
  const int n = xcb_get_property_value_length(reply.get()) / 4;
  out.assign(data, data + n);
  return out;
}

}  // namespace

std::optional<int> UnreservedDockTop(const QRect& screen, const std::vector<QRect>& otherScreens,
                                     const std::vector<DockWindow>& docks) {
  std::optional<int> top;
  const int lastRow = screen.y() + screen.height();
  for (const DockWindow& dock : docks) {
    const QRect& r = dock.rect;
    if (dock.reservesBottom || r.width() <= r.height()) continue;
    // Across the screen, down to or past its last row, from its lower half.
    if (r.x() >= screen.x() + screen.width() || r.x() + r.width() <= screen.x()) continue;
    if (r.y() + r.height() < lastRow || r.y() < screen.y() + screen.height() / 2) continue;
    // Past the last row it belongs to no other screen: it has slid out to
    // hide, and stands its whole height when it comes back.
    const bool elsewhere = std::any_of(otherScreens.begin(), otherScreens.end(),
                                       [&r](const QRect& other) { return other.intersects(r); });
    if (r.y() + r.height() > lastRow && elsewhere) continue;
    const int standsAt = lastRow - r.height();
    if (!top || standsAt < *top) top = standsAt;
  }
  return top;
}

X11Desktop::X11Desktop() {
  auto* app = qGuiApp;
  if (app == nullptr) return;
  auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr || x11->connection() == nullptr) return;
  connection_ = x11->connection();
  const xcb_setup_t* setup = xcb_get_setup(connection_);
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
  if (it.rem == 0) {
    connection_ = nullptr;
    return;
  }
  root_ = it.data->root;
  std::vector<xcb_intern_atom_cookie_t> cookies;
  for (const char* name : kAtomNames) {
    cookies.push_back(
        xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name));
  }
  for (std::size_t i = 0; i < cookies.size(); ++i) {
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection_, cookies[i], nullptr));
    if (reply) atoms_.emplace(kAtomNames[i], reply->atom);
  }
  app->installNativeEventFilter(this);
}

std::uint32_t X11Desktop::Atom(const char* name) {
  if (connection_ == nullptr) return 0;
  auto found = atoms_.find(name);
  if (found != atoms_.end()) return found->second;
  const auto cookie =
      xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
  Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection_, cookie, nullptr));
  const std::uint32_t atom = reply ? reply->atom : 0;
  atoms_.emplace(name, atom);
  return atom;
}

std::vector<std::uint32_t> X11Desktop::ListProperty(std::uint32_t window, const char* name) {
  if (connection_ == nullptr || window == 0) return {};
  return ListFrom(connection_, AskList(connection_, window, Atom(name)));
}

void X11Desktop::PrepareSprite(std::uint32_t window) {
  if (connection_ == nullptr || window == 0) return;
  auto put = [this, window](const char* name, xcb_atom_t type,
                            const std::vector<std::uint32_t>& values) {
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, Atom(name), type, 32,
                        static_cast<std::uint32_t>(values.size()), values.data());
  };
  // A normal window: kept in the normal layer so that it can be sent below
  // the others, undecorated (the Motif hints Qt writes say so). Not a
  // utility window: KWin hides those whenever another program is active.
  sprites_.insert(window);
  // Both lists asked for at once, before either is changed.
  const auto stateAsked = AskList(connection_, window, Atom("_NET_WM_STATE"));
  const auto protocolsAsked = AskList(connection_, window, Atom("WM_PROTOCOLS"));
  put("_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM, {Atom("_NET_WM_WINDOW_TYPE_NORMAL")});

  // Out of the task list and the pager. Qt keeps what it finds here when it
  // adds its own states at mapping time.
  std::vector<std::uint32_t> state = ListFrom(connection_, stateAsked);
  for (const char* name : {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}) {
    const std::uint32_t atom = Atom(name);
    if (std::find(state.begin(), state.end(), atom) == state.end()) state.push_back(atom);
  }
  put("_NET_WM_STATE", XCB_ATOM_ATOM, state);

  // No input and no WM_TAKE_FOCUS: the window manager never hands these
  // windows the keyboard focus, not even on a click (the game takes only
  // pointer input), and leaves them out of its window cycling.
  std::vector<std::uint32_t> protocols = ListFrom(connection_, protocolsAsked);
  protocols.erase(std::remove(protocols.begin(), protocols.end(), Atom("WM_TAKE_FOCUS")),
                  protocols.end());
  put("WM_PROTOCOLS", XCB_ATOM_ATOM, protocols);

  // Compositors draw no shadow round the outline.
  put("_COMPTON_SHADOW", XCB_ATOM_CARDINAL, {0});
}

void X11Desktop::ForgetTransient(std::uint32_t window, int x, int y) {
  if (connection_ == nullptr || window == 0) return;
  xcb_delete_property(connection_, window, XCB_ATOM_WM_TRANSIENT_FOR);
  const std::uint32_t place[2] = {static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)};
  xcb_configure_window(connection_, window, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, place);
  xcb_flush(connection_);
}

void X11Desktop::SetPlace(std::uint32_t window, int x, int y, int width, int height) {
  if (connection_ == nullptr || window == 0) return;
  const std::int32_t values[4] = {x, y, width, height};
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, Atom("_MARIVO2_GEOMETRY"),
                      XCB_ATOM_INTEGER, 32, 4, values);
}

void X11Desktop::SetInputShape(std::uint32_t window, const QRegion& region, qreal ratio) {
  if (connection_ == nullptr || window == 0) return;
  const xcb_query_extension_reply_t* shape = xcb_get_extension_data(connection_, &xcb_shape_id);
  if (shape == nullptr || !shape->present) return;
  if (region.isEmpty()) {
    xcb_shape_mask(connection_, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, window, 0, 0, XCB_NONE);
    return;
  }
  std::vector<xcb_rectangle_t> rects;
  for (const QRect& r : region) {
    // Edges scaled, so neighbouring rectangles still meet.
    const int x0 = Nearest(r.x() * ratio), y0 = Nearest(r.y() * ratio);
    const int x1 = Nearest((r.x() + r.width()) * ratio);
    const int y1 = Nearest((r.y() + r.height()) * ratio);
    rects.push_back({static_cast<std::int16_t>(x0), static_cast<std::int16_t>(y0),
                     static_cast<std::uint16_t>(x1 - x0), static_cast<std::uint16_t>(y1 - y0)});
  }
  xcb_shape_rectangles(connection_, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT,
                       XCB_CLIP_ORDERING_UNSORTED, window, 0, 0,
                       static_cast<std::uint32_t>(rects.size()), rects.data());
}

bool X11Desktop::Xwayland() {
  if (connection_ == nullptr) return false;
  if (xwayland_ < 0) {
    const char* name = "XWAYLAND";
    Reply<xcb_query_extension_reply_t> reply(xcb_query_extension_reply(
        connection_,
        xcb_query_extension(connection_, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr));
    xwayland_ = reply && reply->present ? 1 : 0;
    // Before that extension (Xwayland 23), its RandR outputs tell it.
    for (const QScreen* screen : QGuiApplication::screens()) {
      if (screen->name().startsWith("XWAYLAND")) xwayland_ = 1;
    }
  }
  return xwayland_ == 1;
}

std::optional<std::array<std::int32_t, 4>> X11Desktop::WorkArea() {
  const std::vector<std::uint32_t> v = ListProperty(root_, "_NET_WORKAREA");
  if (v.size() < 4 || v[2] == 0 || v[3] == 0) return std::nullopt;
  return std::array<std::int32_t, 4>{std::int32_t(v[0]), std::int32_t(v[1]), std::int32_t(v[2]),
                                     std::int32_t(v[3])};
}

std::vector<DockWindow> X11Desktop::Docks() {
  std::vector<DockWindow> docks;
  if (connection_ == nullptr) return docks;
  const std::vector<std::uint32_t> clients = ListProperty(root_, "_NET_CLIENT_LIST");
  const std::uint32_t dockType = Atom("_NET_WM_WINDOW_TYPE_DOCK");
  std::map<std::uint32_t, bool> known;
  std::set<std::uint32_t> watch;
  for (const std::uint32_t client : clients) {
    auto found = dockClients_.find(client);
    // A client's type is set before it is mapped and stays: read it once.
    const bool dock = found != dockClients_.end() ? found->second : [&] {
      const auto types = ListProperty(client, "_NET_WM_WINDOW_TYPE");
      return !types.empty() && types.front() == dockType;
    }();
    known.emplace(client, dock);
    if (!dock) continue;
    watch.insert(client);
    const std::uint32_t frame = TopLevelOf(client);
    if (frame != 0) watch.insert(frame);
    Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        connection_, xcb_get_window_attributes(connection_, client), nullptr));
    if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE) continue;
    Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, client), nullptr));
    Reply<xcb_translate_coordinates_reply_t> place(xcb_translate_coordinates_reply(
        connection_, xcb_translate_coordinates(connection_, client, root_, 0, 0), nullptr));
    if (!geometry || !place) continue;
    DockWindow d;
    d.rect = QRect(place->dst_x, place->dst_y, geometry->width, geometry->height);
    // The bottom strut: the fourth value (left, right, top, bottom), in
    // either form.
    std::vector<std::uint32_t> strut = ListProperty(client, "_NET_WM_STRUT_PARTIAL");
    if (strut.size() < 4) strut = ListProperty(client, "_NET_WM_STRUT");
    d.reservesBottom = strut.size() >= 4 && strut[3] > 0;
    docks.push_back(d);
  }
  dockClients_ = std::move(known);
  for (const std::uint32_t w : watched_) {
    if (watch.count(w) == 0) Listen(w, false);
  }
  for (const std::uint32_t w : watch) {
    if (watched_.count(w) == 0) Listen(w, true);
  }
  watched_ = std::move(watch);
  return docks;
}

void X11Desktop::Listen(std::uint32_t window, bool watch) {
  // Moves, size changes, mapping, reparenting, destruction; property
  // changes for the struts. Checked, so a window gone meanwhile raises no
  // error in Qt's event queue.
  const std::uint32_t mask =
      watch ? XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE : 0;
  std::free(xcb_request_check(connection_, xcb_change_window_attributes_checked(
                                               connection_, window, XCB_CW_EVENT_MASK, &mask)));
}

bool X11Desktop::AboutDocks(std::uint32_t window, std::uint32_t atom) {
  if (window == root_) return atom == Atom("_NET_CLIENT_LIST");
  if (watched_.count(window) == 0) return false;
  return atom == 0 || atom == Atom("_NET_WM_STRUT_PARTIAL") || atom == Atom("_NET_WM_STRUT") ||
         atom == Atom("_NET_WM_WINDOW_TYPE");
}

X11Desktop::~X11Desktop() {
  if (connection_ != nullptr && qGuiApp != nullptr) qGuiApp->removeNativeEventFilter(this);
}

bool X11Desktop::Sprite(std::uint32_t window) const {
  return sprites_.count(window) != 0;
}

void X11Desktop::KeepOutOfTaskList(std::uint32_t window) {
  const auto mapAsked = xcb_get_window_attributes(connection_, window);
  const auto stateAsked = AskList(connection_, window, Atom("_NET_WM_STATE"));
  Reply<xcb_get_window_attributes_reply_t> attributes(
      xcb_get_window_attributes_reply(connection_, mapAsked, nullptr));
  const std::vector<std::uint32_t> state = ListFrom(connection_, stateAsked);
  // Mapped (its frame may not be yet): the window manager has taken it in.
  // A withdrawn window gets its marks before its next mapping instead.
  if (!attributes || attributes->map_state == XCB_MAP_STATE_UNMAPPED) return;
  const std::uint32_t skipTaskbar = Atom("_NET_WM_STATE_SKIP_TASKBAR");
  const std::uint32_t skipPager = Atom("_NET_WM_STATE_SKIP_PAGER");
  const auto has = [&state](std::uint32_t atom) {
    return std::find(state.begin(), state.end(), atom) != state.end();
  };
  if (has(skipTaskbar) && has(skipPager)) return;
  // Once per mapping: a window manager that will not set them, and answers
  // each request by writing its state again, is not asked for ever.
  if (!askedSinceMapped_.insert(window).second) return;
  // A mapped window's state is changed by asking the window manager.
  xcb_client_message_event_t e{};
  e.response_type = XCB_CLIENT_MESSAGE;
  e.format = 32;
  e.window = window;
  e.type = Atom("_NET_WM_STATE");
  e.data.data32[0] = 1;  // add
  e.data.data32[1] = skipTaskbar;
  e.data.data32[2] = skipPager;
  e.data.data32[3] = 1;  // an application's own request
  xcb_send_event(connection_, 0, root_,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&e));
  xcb_flush(connection_);
}

void X11Desktop::WatchTopLevels(std::function<void(std::uint32_t)> onChange) {
  if (connection_ == nullptr) return;
  topLevelChanged_ = std::move(onChange);
  // Added to what Qt already asks of the root for this connection.
  Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
      connection_, xcb_get_window_attributes(connection_, root_), nullptr));
  const std::uint32_t mask =
      (attributes ? attributes->your_event_mask : 0) | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
  xcb_flush(connection_);
}

bool X11Desktop::ChildOfRootEvent(int type, const void* event) const {
  switch (type) {
    case XCB_MAP_NOTIFY:
    case XCB_UNMAP_NOTIFY:
    case XCB_CONFIGURE_NOTIFY:
    case XCB_DESTROY_NOTIFY:
    case XCB_REPARENT_NOTIFY:
    case XCB_GRAVITY_NOTIFY:
    case XCB_CIRCULATE_NOTIFY: {
      // All of them begin alike: the window told, then the window changed.
      const auto* e = static_cast<const xcb_map_notify_event_t*>(event);
      return e->event == root_ && e->window != root_;
    }
    default:
      return false;
  }
}

void X11Desktop::RaiseToTop(std::uint32_t window) {
  if (connection_ == nullptr || window == 0) return;
  const std::uint32_t above = XCB_STACK_MODE_ABOVE;
  xcb_configure_window(connection_, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
}

void X11Desktop::LowerToBottom(std::uint32_t window) {
  if (connection_ == nullptr || window == 0 || Xwayland()) return;
  xcb_client_message_event_t e{};
  e.response_type = XCB_CLIENT_MESSAGE;
  e.format = 32;
  e.window = window;
  e.type = Atom("_NET_RESTACK_WINDOW");
  e.data.data32[0] = 2;         // a pager: carried out whoever has the focus
  e.data.data32[1] = XCB_NONE;  // no sibling: the bottom of its layer
  e.data.data32[2] = XCB_STACK_MODE_BELOW;
  xcb_send_event(connection_, 0, root_,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&e));
  xcb_flush(connection_);
}

bool X11Desktop::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (connection_ == nullptr || eventType != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  const int type = event->response_type & 0x7F;
  if (topLevelChanged_ && ChildOfRootEvent(type, event)) {
    // Seen only because WatchTopLevels asked for them: Qt never did, and
    // takes a configure event reported to the root for a change of the
    // screens, so they are kept from it.
    const auto* child = reinterpret_cast<const xcb_map_notify_event_t*>(event);
    if (type == XCB_MAP_NOTIFY || type == XCB_CONFIGURE_NOTIFY || type == XCB_CIRCULATE_NOTIFY) {
      topLevelChanged_(child->window);
    }
    return true;
  }
  if (type == XCB_PROPERTY_NOTIFY) {
    // The window manager rewrote a shown sprite's state without the marks
    // (or dropped it): ask again, as a mapped window must.
    const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
    if (change->atom == Atom("_NET_WM_STATE") && Sprite(change->window)) {
      KeepOutOfTaskList(change->window);
    }
    if (docksChanged_ && AboutDocks(change->window, change->atom)) docksChanged_();
    return false;
  }
  if (type == XCB_UNMAP_NOTIFY) {
    const auto* unmap = reinterpret_cast<const xcb_unmap_notify_event_t*>(event);
    askedSinceMapped_.erase(unmap->window);
    if (docksChanged_ && AboutDocks(unmap->window, 0)) docksChanged_();
    return false;
  }
  if (type == XCB_MAP_NOTIFY) {
    // Mapped by the window manager: it has read the state by now.
    const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
    if (docksChanged_ && AboutDocks(map->window, 0)) docksChanged_();
    if (Sprite(map->window)) KeepOutOfTaskList(map->window);
    return false;
  }
  if (type == XCB_CONFIGURE_NOTIFY || type == XCB_DESTROY_NOTIFY) {
    // A dock or its frame moved, changed its size or went.
    const auto window = type == XCB_CONFIGURE_NOTIFY
                            ? reinterpret_cast<const xcb_configure_notify_event_t*>(event)->window
                            : reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window;
    if (type == XCB_DESTROY_NOTIFY) sprites_.erase(window);
    if (type == XCB_DESTROY_NOTIFY && watched_.erase(window) > 0 && docksChanged_) {
      docksChanged_();
    } else if (docksChanged_ && AboutDocks(window, 0)) {
      docksChanged_();
    }
    return false;
  }
  if (type != XCB_REPARENT_NOTIFY) return false;
  const auto* reparent = reinterpret_cast<const xcb_reparent_notify_event_t*>(event);
  // A dock taken into a new frame: the frame is listened to from now on.
  if (docksChanged_ && AboutDocks(reparent->window, 0)) docksChanged_();
  if (reparent->parent == root_) return false;
  if (!Sprite(reparent->window)) return false;
  // Managed now: should the window manager have read the state before the
  // marks were there, they are asked for again.
  KeepOutOfTaskList(reparent->window);
  const std::uint32_t frame = TopLevelOf(reparent->window);
  if (frame == 0 || frame == reparent->window) return false;
  const std::uint32_t none = 0;
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, frame, Atom("_COMPTON_SHADOW"),
                      XCB_ATOM_CARDINAL, 32, 1, &none);
  xcb_flush(connection_);
  return false;  // Qt handles the event as usual
}

std::uint32_t X11Desktop::ActiveWindow() {
  const auto v = ListProperty(root_, "_NET_ACTIVE_WINDOW");
  return v.empty() ? 0 : v.front();
}

std::uint32_t X11Desktop::FocusWindow() {
  if (connection_ == nullptr) return 0;
  Reply<xcb_get_input_focus_reply_t> reply(
      xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
  if (!reply || reply->focus == XCB_NONE || reply->focus == XCB_INPUT_FOCUS_POINTER_ROOT) {
    return 0;
  }
  return reply->focus;
}

void X11Desktop::Activate(std::uint32_t window) {
  if (connection_ == nullptr || window == 0) return;
  xcb_client_message_event_t e{};
  e.response_type = XCB_CLIENT_MESSAGE;
  e.format = 32;
  e.window = window;
  e.type = Atom("_NET_ACTIVE_WINDOW");
  // Source 2 (a pager): the user's own choice, which focus-stealing
  // prevention lets through; the window that had the focus gets it back.
  e.data.data32[0] = 2;
  e.data.data32[1] = XCB_CURRENT_TIME;
  e.data.data32[2] = 0;
  xcb_send_event(connection_, 0, root_,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&e));
  xcb_flush(connection_);
}

std::uint32_t X11Desktop::TopLevelOf(std::uint32_t window) {
  if (connection_ == nullptr) return 0;
  for (int depth = 0; depth < 16 && window != 0; ++depth) {
    Reply<xcb_query_tree_reply_t> reply(
        xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr));
    if (!reply) return 0;
    if (reply->parent == root_ || reply->parent == XCB_NONE) return window;
    window = reply->parent;
  }
  return 0;
}

std::vector<std::uint32_t> X11Desktop::Stacking() {
  std::vector<std::uint32_t> out;
  if (connection_ == nullptr) return out;
  Reply<xcb_query_tree_reply_t> reply(
      xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr));
  if (!reply) return out;
  const xcb_window_t* children = xcb_query_tree_children(reply.get());
  out.assign(children, children + xcb_query_tree_children_length(reply.get()));
  return out;
}

void X11Desktop::Flush() {
  if (connection_ != nullptr) xcb_flush(connection_);
}

}  // namespace marivo::qt
