/* A player and screen reader for the desktop checks of marivo2.
 *
 * It finds the game's windows by their X names, plays with the pointer
 * through XTest and reads colours from the screen, the way a person would:
 *
 *   marivo-player play [seconds]     cast, wait for a bite, strike, play the
 *                                    fish by the button's colour until a
 *                                    catch lands (exit 0) or time runs out
 *   marivo-player geom NAME          "W H X Y" of the first viewable window
 *                                    so named, in root coordinates, where
 *                                    the game placed it (exit 1 when there
 *                                    is none)
 *   marivo-player window NAME        "W H X Y" of that X window itself: the
 *                                    part of it the desktop shows
 *   marivo-player pixel X Y          "R G B" of a screen pixel
 *   marivo-player colours X Y W H    how many distinct colours a screen
 *                                    rectangle holds
 *   marivo-player grab X Y W H FILE  the rectangle as a binary PPM
 *   marivo-player wallpaper RRGGBB   the desktop in one colour, for a
 *                                    compositor too
 *   marivo-player desktop RRGGBB     a desktop window in that colour under
 *                                    everything, until killed
 *   marivo-player composited         exit 0 when a compositor manages the
 *                                    screen (owns _NET_WM_CM_S0)
 *   marivo-player fringe NAME RRGGBB MARGIN BOTTOM
 *                                    pixels near a sprite, outside its
 *                                    outline and the scene's other windows
 *                                    and above row BOTTOM, that are not the
 *                                    desktop colour RRGGBB (exit 0: none)
 *   marivo-player outline NAME BEFORE AFTER MARGIN BOTTOM PERCENT [PIXELS]
 *                                    the sprite drawn as its outline only:
 *                                    pixels outside the scene's outlines
 *                                    are as in BEFORE (a PPM of the bare
 *                                    desktop), PERCENT of those inside its
 *                                    own are not (AFTER: a PPM, or - for
 *                                    the screen now); exit 0 when so and
 *                                    the outline is cut (or PIXELS big)
 *   marivo-player differ A B X Y W H how many pixels of the rectangle
 *                                    differ between two PPM pictures
 *                                    (exit 0: none)
 *   marivo-player scaled FILE X Y F [SX SY]
 *                                    compare the screen at X,Y (or up to
 *                                    SX,SY further) with FILE blown up F
 *                                    times by pixel repetition; prints the
 *                                    mismatching pixels (exit 0: none)
 *
 * Progress of a game goes to standard output, one event a line, so the
 * calling script can keep it as evidence. With MARIVO_PLAYER_SHOTS set to a
 * folder, the screen during a bite is kept there as bite.ppm (see
 * WatchBite: the first bite that can tell): the first picture, taken once
 * the game has placed the float sunk, that shows
 * nothing of it above the sea (compared with MARIVO_PLAYER_REFERENCE, a
 * picture of the scene before the cast, when given), or the last one taken
 * while the bite lasted. Where the root window cannot be read,
 * MARIVO_PLAYER_SHOT_COMMAND is run for each picture with the path of a PPM
 * to write as $1. Each landing prints how the catch rose.
 */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/shape.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace marivo {
namespace {

/* Where the game placed a window. The X window may be only the part of
 * it that lies on the screen above the usable bottom; the game's whole
 * rectangle is then in its _MARIVO2_GEOMETRY property. nx, ny, nw, nh:
 * what the X window shows, the extents of its bounding shape (a window
 * may reach further than it draws). wx, wy: the X window's own corner,
 * which its shapes are relative to. */
struct Geom {
  int found = 0;
  int x = 0, y = 0, w = 0, h = 0;
  int nx = 0, ny = 0, nw = 0, nh = 0;
  int wx = 0, wy = 0;
  Window id = 0;
};

// The connection, opened once in main.
struct Desktop {
  Display* dpy = nullptr;
  Window root = 0;
};
Desktop desk;  // NOLINT: one display per process, set before any use

double NowMs(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

void SleepMs(int ms) {
  struct timespec ts = {ms / 1000, (long)(ms % 1000) * 1000000L};
  nanosleep(&ts, nullptr);
}

/* The game's windows by their X names, found in one walk of the whole
 * tree: under a window manager they sit inside frames. Only viewable
 * windows count; the first of each name wins. */
enum { kCon, kUki, kFish, kSea, kBalloonC, kBalloonL, kBalloonR, kNames };
const char* const kWindowNames[kNames] = {"frmCon", "frmUki", "frmFish", "frmSea",
                                          "frmC",   "frmL",   "frmR"};

Geom Measure(Window w) {
  Geom g;
  XWindowAttributes a;
  Window child;
  if (!XGetWindowAttributes(desk.dpy, w, &a) || a.map_state != IsViewable) return g;
  if (!XTranslateCoordinates(desk.dpy, w, desk.root, 0, 0, &g.x, &g.y, &child)) return g;
  g.w = a.width;
  g.h = a.height;
  g.wx = g.x;
  g.wy = g.y;
  g.nx = g.x;
  g.ny = g.y;
  g.nw = g.w;
  g.nh = g.h;
  Bool shaped = False, clipShaped = False;
  int bx, by, cx, cy;
  unsigned int bw, bh, cw, ch;
  if (XShapeQueryExtents(desk.dpy, w, &shaped, &bx, &by, &bw, &bh, &clipShaped, &cx, &cy, &cw,
                         &ch) &&
      shaped) {
    // Only what lies inside the window shows.
    const int x0 = bx > 0 ? bx : 0, y0 = by > 0 ? by : 0;
    const int x1 = bx + int(bw) < g.w ? bx + int(bw) : g.w;
    const int y1 = by + int(bh) < g.h ? by + int(bh) : g.h;
    g.nx = g.x + x0;
    g.ny = g.y + y0;
    g.nw = x1 > x0 ? x1 - x0 : 0;
    g.nh = y1 > y0 ? y1 - y0 : 0;
  }
  g.found = 1;
  g.id = w;
  Atom type;
  int format;
  unsigned long items, after;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(desk.dpy, w, XInternAtom(desk.dpy, "_MARIVO2_GEOMETRY", False), 0, 4,
                         False, XA_INTEGER, &type, &format, &items, &after, &data) == Success &&
      data) {
    if (format == 32 && items == 4) {
      const long* v = reinterpret_cast<const long*>(data);
      g.x = int(v[0]);
      g.y = int(v[1]);
      g.w = int(v[2]);
      g.h = int(v[3]);
    }
    XFree(data);
  }
  return g;
}

bool Ascii(const char* s) {
  for (; *s; ++s) {
    if (static_cast<unsigned char>(*s) >= 0x80) return false;
  }
  return true;
}

// The title in UTF-8 (_NET_WM_NAME), for names beyond ASCII such as the
// dialogs' Japanese captions; empty when the window has none.
std::string Utf8Name(Window w) {
  Atom type;
  int format;
  unsigned long items, after;
  unsigned char* data = nullptr;
  std::string name;
  if (XGetWindowProperty(desk.dpy, w, XInternAtom(desk.dpy, "_NET_WM_NAME", False), 0, 256, False,
                         XInternAtom(desk.dpy, "UTF8_STRING", False), &type, &format, &items,
                         &after, &data) == Success &&
      data) {
    if (format == 8) name.assign(reinterpret_cast<char*>(data), items);
    XFree(data);
  }
  return name;
}

void Walk(Window w, const char* const* names, int count, Geom* out) {
  char* n = nullptr;
  if (XFetchName(desk.dpy, w, &n) && n) {
    for (int i = 0; i < count; ++i) {
      if (!out[i].found && strcmp(n, names[i]) == 0) out[i] = Measure(w);
    }
    XFree(n);
  }
  bool wide = false;
  for (int i = 0; i < count; ++i) wide = wide || (!out[i].found && !Ascii(names[i]));
  if (wide) {
    const std::string utf8 = Utf8Name(w);
    for (int i = 0; i < count; ++i) {
      if (!out[i].found && utf8 == names[i]) out[i] = Measure(w);
    }
  }
  Window rootReturn, parent, *kids = nullptr;
  unsigned int k = 0;
  if (!XQueryTree(desk.dpy, w, &rootReturn, &parent, &kids, &k)) return;
  for (unsigned int i = 0; i < k; ++i) Walk(kids[i], names, count, out);
  if (kids) XFree(kids);
}

void Scan(const char* const* names, int count, Geom* out) {
  for (int i = 0; i < count; ++i) out[i].found = 0;
  Walk(desk.root, names, count, out);
}

Geom GeomOf(const char* name) {
  Geom g;
  Scan(&name, 1, &g);
  return g;
}

/* A window destroyed between the search and the query is not an error. */
int IgnoreErrors(Display* d, XErrorEvent* e) {
  (void)d;
  (void)e;
  return 0;
}

XImage* Grab(int x, int y, int w, int h) {
  return XGetImage(desk.dpy, desk.root, x, y, (unsigned)w, (unsigned)h, AllPlanes, ZPixmap);
}

void Rgb(XImage* img, int x, int y, int* r, int* g, int* b) {
  unsigned long p = XGetPixel(img, x, y);
  /* 24-bit TrueColor, as Xvfb -screen WxHx24 gives. */
  *r = (int)((p & img->red_mask) >> 16);
  *g = (int)((p & img->green_mask) >> 8);
  *b = (int)(p & img->blue_mask);
}

int PixelAt(int x, int y, int* r, int* g, int* b) {
  XImage* img = Grab(x, y, 1, 1);
  if (!img) return 0;
  Rgb(img, 0, 0, r, g, b);
  XDestroyImage(img);
  return 1;
}

void Button(int down) {
  XTestFakeButtonEvent(desk.dpy, 1, down ? True : False, CurrentTime);
  XFlush(desk.dpy);
}

void MoveTo(int x, int y) {
  XTestFakeMotionEvent(desk.dpy, -1, x, y, CurrentTime);
  XFlush(desk.dpy);
}

/* The button (Picture1) covers the right end of the control bar: 990 to
 * 1215 of its 1250 twips, over its whole height. Aim at its middle. */
void ButtonPoint(Geom con, int* x, int* y) {
  *x = con.x + con.w * 74 / 83;
  *y = con.y + con.h / 2;
}

int IsBlue(int r, int g, int b) {
  return b > 200 && r < 60 && g < 60;
}
int IsRed(int r, int g, int b) {
  return r > 200 && g < 60 && b < 60;
}

void Say(double t0, const char* what) {
  printf("%7.0f ms %s\n", NowMs() - t0, what);
  fflush(stdout);
}

/* The float is upright (taller than wide) while it waits on the water. */
int Upright(Geom f) {
  return f.found && f.h > 2 * f.w;
}
/* Hooked, it is the wide struggling sprite. */
int Hooked(Geom f) {
  return f.found && f.w > f.h;
}

// Two colours a person cannot tell apart: some compositors (mutter) paint
// their own background with a dither that changes by a step from one
// repaint to the next.
bool Alike(uint32_t a, uint32_t b) {
  for (int shift = 0; shift < 24; shift += 8) {
    const int d = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
    if (d > 3 || d < -3) return false;
  }
  return true;
}

/* The catch's X window while it rises (what can be seen of it, not where
 * the game placed it): its first and highest top and how many different
 * tops were seen, against the sea's top edge. */
std::vector<XRectangle> Outline(Geom g);
int WritePpm(const char* path, int x, int y, int w, int h);

struct Rise {
  int samples = 0, tops = 0, first = 0, highest = 0, last = 0, seaTop = 0;
  std::string trace;  // each new top: "x,y wxh" of the X window
  void Add(Geom fish, Geom sea) {
    if (!fish.found || !sea.found) return;
    // A window with no outline yet shows nothing.
    if (Outline(fish).empty()) {
      trace += " (unshaped " + std::to_string(fish.nx) + "," + std::to_string(fish.ny) + ")";
      return;
    }
    if (samples == 0) {
      first = highest = last = fish.ny;
      // Where it first shows, as the screen has it (kept for the calling
      // script beside the picture of the bite).
      if (const char* folder = getenv("MARIVO_PLAYER_SHOTS")) {
        const std::string path = std::string(folder) + "/catch-first.ppm";
        WritePpm(path.c_str(), fish.nx < 4 ? 0 : fish.nx - 4, fish.ny < 4 ? 0 : fish.ny - 4,
                 fish.nw + 8, fish.nh + 8);
      }
    }
    if (samples == 0 || fish.ny != last) {
      ++tops;
      // Formatted in place: GCC 12 at -O3 misreads a chain of string
      // concatenations here as an overlapping copy (-Wrestrict).
      char step[64];
      std::snprintf(step, sizeof step, " %d,%d %dx%d", fish.nx, fish.ny, fish.nw, fish.nh);
      trace += step;
    }
    if (fish.ny < highest) highest = fish.ny;
    last = fish.ny;
    seaTop = sea.y;
    ++samples;
  }
  void Print() const {
    printf("rise: first top %d, highest top %d, %d tops in %d samples, sea top %d\n", first,
           highest, tops, samples, seaTop);
    printf("rise windows:%s\n", trace.c_str());
  }
};

/* A picture of the whole screen as 0xRRGGBB pixels. */
struct Picture {
  int w = 0, h = 0;
  std::vector<uint32_t> px;
  bool Empty() const { return px.empty(); }
  uint32_t At(int x, int y) const { return px[size_t(y) * size_t(w) + size_t(x)]; }
};
uint32_t* ReadPpm(const char* path, int* w, int* h);

Picture FromPpm(const char* path) {
  Picture p;
  if (uint32_t* px = ReadPpm(path, &p.w, &p.h)) {
    p.px.assign(px, px + size_t(p.w) * size_t(p.h));
    free(px);
  }
  return p;
}

/* The screen now: the root window's pixels, or, where the X server cannot
 * give them (XWayland), what MARIVO_PLAYER_SHOT_COMMAND writes (a binary
 * PPM at the path given as $1), waited for. */
Picture TakePicture(const std::string& scratch) {
  Picture p;
  XWindowAttributes a;
  XGetWindowAttributes(desk.dpy, desk.root, &a);
  if (XImage* img = Grab(0, 0, a.width, a.height)) {
    p.w = a.width;
    p.h = a.height;
    p.px.resize(size_t(p.w) * size_t(p.h));
    for (int j = 0; j < p.h; ++j) {
      for (int i = 0; i < p.w; ++i) {
        int r, g, b;
        Rgb(img, i, j, &r, &g, &b);
        p.px[size_t(j) * size_t(p.w) + size_t(i)] = uint32_t(r << 16 | g << 8 | b);
      }
    }
    XDestroyImage(img);
    return p;
  }
  const char* command = getenv("MARIVO_PLAYER_SHOT_COMMAND");
  if (!command) return p;
  unlink(scratch.c_str());
  const pid_t shooter = fork();
  if (shooter == 0) {
    execl("/bin/sh", "sh", "-c", command, "sh", scratch.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  if (shooter > 0 && waitpid(shooter, &status, 0) == shooter && WIFEXITED(status) &&
      WEXITSTATUS(status) == 0) {
    p = FromPpm(scratch.c_str());
  }
  return p;
}

/* The float's columns above the sea's top edge, as high as the upright
 * float, down to the row above that edge: a bite stops the float up to 8
 * twips short of the edge, which may round to that row. The desktop
 * checks look at the same rectangle. */
struct Band {
  int x = 0, y = 0, w = 0, h = 0;
};
Band AboveSea(int floatX, int floatW, int floatH, int seaTop) {
  return Band{floatX - 2, seaTop - floatH, floatW + 4, floatH - 1};
}

/* Whether a picture shows nothing of the float in `band`: with a
 * reference picture of the scene before the cast (MARIVO_PLAYER_REFERENCE),
 * every pixel there is as in it; without one, each pixel looks like the
 * desktop just left or right of the band. */
bool Clear(const Picture& p, const Picture& reference, Band band) {
  if (p.Empty() || band.x < 1 || band.y < 0 || band.x + band.w + 1 > p.w || band.y + band.h > p.h)
    return false;
  const bool compare = reference.w == p.w && reference.h == p.h;
  for (int j = band.y; j < band.y + band.h; ++j) {
    const uint32_t left = p.At(band.x - 1, j), right = p.At(band.x + band.w, j);
    for (int i = band.x; i < band.x + band.w; ++i) {
      const uint32_t c = p.At(i, j);
      if (compare ? !Alike(c, reference.At(i, j)) : !Alike(c, left) && !Alike(c, right))
        return false;
    }
  }
  return true;
}

void SavePicture(const Picture& p, const std::string& path) {
  if (p.Empty()) return;
  if (FILE* f = fopen(path.c_str(), "wb")) {
    fprintf(f, "P6\n%d %d\n255\n", p.w, p.h);
    for (uint32_t c : p.px) {
      fputc(int(c >> 16 & 0xFF), f);
      fputc(int(c >> 8 & 0xFF), f);
      fputc(int(c & 0xFF), f);
    }
    fclose(f);
  }
}

/* The picture of a bite. A bite moves the float's window down in steps
 * 10 ms apart until its top lies on the sea's; it then stays there until
 * the float's next tick, 200 ms later, or a strike. The game publishes
 * where it put the window (_MARIVO2_GEOMETRY) before the window manager
 * and the compositor have shown it there, so: wait for that geometry to
 * show the float sunk, then take pictures until one shows nothing of it
 * above the sea or on the sea's rows, for as long as the geometry still
 * shows it sunk. A slow desktop merely takes more pictures. The bite
 * proves the game wrong only when pictures taken while the game kept the
 * float sunk (its geometry sunk before and after each) span a good part
 * of the bite and none shows it under the sea; a bite the player saw too
 * late to picture so (on a busy machine: the float already up again)
 * proves nothing, and the next one is pictured instead. A float that never
 * sinks on the screen gives no bite to see, and a game that never shows
 * one sunk no bite pictured: the calling script fails both. */
struct BitePicture {
  Picture picture;    // the one that shows the float under the sea, else the last
  bool sunk = false;  // the geometry showed the float sunk
  bool clear = false;
  int taken = 0, whileSunk = 0;           // pictures; those with the float sunk after them
  double sunkAfter = -1, lastAfter = -1;  // ms after the bite was seen
  double spanSunk = 0;  // from the first picture's start to the last one taken while sunk
  bool Conclusive() const {
    constexpr int kPictures = 3;
    constexpr double kSpanMs = 100;
    return clear || (sunk && whileSunk >= kPictures && spanSunk >= kSpanMs);
  }
};

bool SunkAt(Geom g, Geom floating, Geom sea) {
  return g.found && g.w == floating.w && g.h == floating.h && g.y >= sea.y - 1;
}

BitePicture WatchBite(Geom floating, Geom sea, Geom seenFloat, const char* folder) {
  BitePicture out;
  const int floatX = seenFloat.x;
  // The float's own window, asked directly: a walk of the whole tree takes
  // a good part of a bite on a busy desktop. Found again by name should it
  // have been made anew.
  const auto floatNow = [&] {
    const Geom g = Measure(seenFloat.id);
    return g.found ? g : GeomOf("frmUki");
  };
  const double seen = NowMs();
  const std::string scratch = std::string(folder) + "/bite-shot.ppm";
  const char* referencePath = getenv("MARIVO_PLAYER_REFERENCE");
  const Picture reference = referencePath ? FromPpm(referencePath) : Picture{};
  const Band band = AboveSea(floatX, floating.w, floating.h, sea.y);
  // Sent behind the sea strip, the sunk float is hidden by it too: with a
  // picture of the scene to compare with, the sea's own rows under the
  // float must show the sea. A desktop that draws a moved window before
  // its new contents (XWayland) may show a stale float there for a frame;
  // one behind the sea never shows it for the whole bite.
  const Band under{band.x, sea.y, band.w, sea.h};
  const bool withSea = reference.w > 0 && sea.h > 0;
  // The sinking takes 80 ms; a game starved of the processor, longer.
  for (const double end = seen + 1000; NowMs() < end; SleepMs(2)) {
    if (SunkAt(floatNow(), floating, sea)) {
      out.sunk = true;
      out.sunkAfter = NowMs() - seen;
      break;
    }
  }
  if (!out.sunk) return out;
  // However slowly the desktop shows it: bounded by the bite itself (and
  // by a few seconds should the game stop).
  const double first = NowMs();
  for (const double end = first + 3000; NowMs() < end;) {
    Picture p = TakePicture(scratch);
    ++out.taken;
    const bool clear = Clear(p, reference, band) && (!withSea || Clear(p, reference, under));
    if (!p.Empty()) out.picture = std::move(p);
    out.lastAfter = NowMs() - seen;
    if (clear) {
      out.clear = true;
      break;
    }
    // Checked after the picture: it counts only if the game still had the
    // float sunk once it was taken.
    if (!SunkAt(floatNow(), floating, sea)) break;
    ++out.whileSunk;
    out.spanSunk = NowMs() - first;
    SleepMs(2);
  }
  unlink(scratch.c_str());
  return out;
}

int Play(double seconds) {
  const double t0 = NowMs();
  const double deadline = t0 + seconds * 1000.0;
  enum { kCast, kLanding, kWait, kFight, kAfterEscape } phase = kCast;
  int bx = 0, by = 0, held = 0, armed = 0, bites = 0, strikes = 0, escapes = 0;
  int pictured = 0;  // a bite's picture was conclusive
  double since = 0;
  Geom last;
  /* The upright float as it landed. A desktop may cut a window to what
   * can be seen above a panel, so while the float sinks its window can be
   * shorter than the float: a bite is judged by the window's top. */
  Geom floating;
  char line[320];

  while (NowMs() < deadline) {
    Geom all[kNames];
    Scan(kWindowNames, kNames, all);
    Geom con = all[kCon];
    if (!con.found) {
      Say(t0, "no control bar on the screen");
      return 2;
    }
    ButtonPoint(con, &bx, &by);
    Geom uki = all[kUki];
    Geom fish = all[kFish];
    switch (phase) {
      case kCast:
        if (fish.found) break; /* the previous catch is still on show */
        MoveTo(bx, by);
        SleepMs(50);
        /* Press: the gauge runs; release; press again soon: a short,
         * quick cast keeps the fight short. */
        Button(1);
        SleepMs(100);
        Button(0);
        SleepMs(150);
        Button(1);
        SleepMs(60);
        Button(0);
        Say(t0, "cast");
        phase = kLanding;
        since = NowMs();
        last.found = 0;
        break;
      case kLanding:
        /* Landed: upright and still for 300 ms. */
        if (Upright(uki) && last.found && uki.x == last.x && uki.y == last.y) {
          if (NowMs() - since > 300) {
            snprintf(line, sizeof line, "float on the water at %d,%d (%dx%d)", uki.x, uki.y, uki.w,
                     uki.h);
            Say(t0, line);
            phase = kWait;
            armed = 0;
            floating = uki;
          }
        } else {
          last = uki;
          since = NowMs();
        }
        break;
      case kWait: {
        if (!uki.found) {
          phase = kCast;
          break;
        }
        Geom sea = all[kSea];
        if (!sea.found || uki.w != floating.w) break;
        /* A bite pulls the float down until its top lies on the sea's top
         * edge; a nibble takes it down by a half or a third of its height,
         * a bob by a few pixels. */
        int under = uki.y >= sea.y - floating.h / 4;
        if (!under) {
          armed = 1;
          break;
        }
        if (!armed) break;
        armed = 0;
        ++bites;
        /* A bite is pictured (when a check asks for it) before the strike,
         * which brings the float back up, until one picture is conclusive. */
        const char* folder = getenv("MARIVO_PLAYER_SHOTS");
        const bool picture = !pictured && folder != nullptr;
        snprintf(line, sizeof line, "bite: float %dx%d+%d+%d, sea top %d", uki.w, uki.h, uki.x,
                 uki.y, sea.y);
        Say(t0, line);
        BitePicture shot;
        if (picture) {
          shot = WatchBite(floating, sea, uki, folder);
          char verdict[200];
          if (!shot.sunk) {
            snprintf(verdict, sizeof verdict,
                     "inconclusive, seen too late: the float was up again before it could be "
                     "pictured");
          } else {
            snprintf(verdict, sizeof verdict,
                     "%s (placed sunk after %.0f ms; %d pictures, %d of them while sunk over "
                     "%.0f ms, the last after %.0f ms)",
                     shot.clear          ? "the float under the sea"
                     : shot.Conclusive() ? "NO picture showed the float under the sea"
                                         : "inconclusive, seen too late",
                     shot.sunkAfter, shot.taken, shot.whileSunk, shot.spanSunk, shot.lastAfter);
          }
          snprintf(line, sizeof line, "bite picture: float %dx%d+%d+%d, sea top %d: %s", uki.w,
                   uki.h, uki.x, uki.y, sea.y, verdict);
          Say(t0, line);
          if (!shot.Conclusive()) {
            /* Let this bite pass unstruck: the next one is pictured. */
            break;
          }
          pictured = 1;
        } else {
          /* The strike counts once the float has come to rest under
           * water: the sinking ends 10 ms after its last step. */
          SleepMs(40);
        }
        MoveTo(bx, by);
        Button(1);
        held = 1;
        ++strikes;
        Say(t0, "strike");
        if (picture) SavePicture(shot.picture, std::string(folder) + "/bite.ppm");
        double until = NowMs() + 600;
        int hooked = 0;
        while (NowMs() < until && !hooked) {
          SleepMs(5);
          hooked = Hooked(GeomOf("frmUki"));
        }
        if (hooked) {
          Say(t0, "HIT: fight");
          phase = kFight;
        } else {
          /* Too late (or no bite after all): the press reels an empty line
           * while held; let go and wait for the next bite. */
          Button(0);
          held = 0;
          Say(t0, "missed");
        }
        break;
      }
      case kFight: {
        if (fish.found) {
          if (held) Button(0);
          held = 0;
          snprintf(line, sizeof line, "landed: frmFish %dx%d+%d+%d", fish.w, fish.h, fish.x,
                   fish.y);
          Say(t0, line);
          /* The balloon names the catch; until it shows, the catch rises
           * out of the sea: its window's top, sample by sample. */
          Rise rise;
          rise.Add(fish, all[kSea]);
          double until = NowMs() + 4000;
          while (NowMs() < until) {
            Scan(kWindowNames, kNames, all);
            Geom c = all[kBalloonC], l = all[kBalloonL], r = all[kBalloonR];
            if (!(c.found && l.found && r.found)) rise.Add(all[kFish], all[kSea]);
            if (c.found && l.found && r.found) {
              snprintf(line, sizeof line,
                       "balloon: frmL %dx%d+%d+%d frmC %dx%d+%d+%d frmR %dx%d+%d+%d", l.w, l.h, l.x,
                       l.y, c.w, c.h, c.x, c.y, r.w, r.h, r.x, r.y);
              Say(t0, line);
              break;
            }
            SleepMs(5);
          }
          rise.Print();
          printf("bites %d, strikes %d, escapes %d\n", bites, strikes, escapes);
          return 0;
        }
        if (Upright(uki)) {
          /* The float stands up again: the fish got away. */
          if (held) Button(0);
          held = 0;
          ++escapes;
          Say(t0, "escaped");
          phase = kAfterEscape;
          since = NowMs();
          break;
        }
        int r, g, b;
        if (!PixelAt(bx, by, &r, &g, &b)) break;
        if (IsBlue(r, g, b) && !held) {
          Button(1);
          held = 1;
          Say(t0, "blue: hold");
        } else if (IsRed(r, g, b) && held) {
          Button(0);
          held = 0;
          Say(t0, "red: let go");
        }
        break;
      }
      case kAfterEscape:
        /* The game is busy for 1.5 s with its "got away" balloon; the
         * float stays out and may bite again. */
        if (NowMs() - since > 1700) {
          phase = uki.found ? kWait : kCast;
          armed = 0;
        }
        break;
    }
    SleepMs(phase == kFight ? 10 : 5);
  }
  if (held) Button(0);
  printf("bites %d, strikes %d, escapes %d\n", bites, strikes, escapes);
  Say(t0, "time is up without a catch");
  return 1;
}

int WritePpm(const char* path, int x, int y, int w, int h) {
  // Cut to the screen: a picture at its edge (the catch first showing on
  // the bottom row) keeps what is on it.
  XWindowAttributes root;
  if (XGetWindowAttributes(desk.dpy, desk.root, &root)) {
    if (x + w > root.width) w = root.width - x;
    if (y + h > root.height) h = root.height - y;
  }
  if (w <= 0 || h <= 0) return 1;
  XImage* img = Grab(x, y, w, h);
  if (!img) return 1;
  FILE* f = fopen(path, "wb");
  if (!f) {
    XDestroyImage(img);
    return 1;
  }
  fprintf(f, "P6\n%d %d\n255\n", w, h);
  for (int j = 0; j < h; ++j) {
    for (int i = 0; i < w; ++i) {
      int r, g, b;
      Rgb(img, i, j, &r, &g, &b);
      fputc(r, f);
      fputc(g, f);
      fputc(b, f);
    }
  }
  XDestroyImage(img);
  return fclose(f) == 0 ? 0 : 1;
}

/* Reads a binary PPM as written above; returns the pixels as 0xRRGGBB. */
uint32_t* ReadPpm(const char* path, int* w, int* h) {
  FILE* f = fopen(path, "rb");
  if (!f) return nullptr;
  int maxval = 0;
  uint32_t* px = nullptr;
  if (fscanf(f, "P6 %d %d %d", w, h, &maxval) == 3 && maxval == 255 && *w > 0 && *h > 0 &&
      fgetc(f) != EOF) {
    px = static_cast<uint32_t*>(malloc(sizeof *px * size_t(*w) * size_t(*h)));
    for (int i = 0; px && i < *w * *h; ++i) {
      int r = fgetc(f), g = fgetc(f), b = fgetc(f);
      if (b == EOF) {
        free(px);
        px = nullptr;
        break;
      }
      px[i] = (uint32_t)(r << 16 | g << 8 | b);
    }
  }
  fclose(f);
  return px;
}

// Compares the screen with a reference picture blown up `factor` times by
// repeating each pixel. The picture may stand anywhere within `slackX` x
// `slackY` pixels of (x, y): the best placement counts.
int Scaled(const char* path, int x, int y, int factor, int slackX, int slackY) {
  int w = 0, h = 0;
  uint32_t* ref = ReadPpm(path, &w, &h);
  if (!ref || factor < 1) {
    fprintf(stderr, "cannot read %s\n", path);
    free(ref);
    return 2;
  }
  const int gw = w * factor + slackX, gh = h * factor + slackY;
  XImage* img = Grab(x, y, gw, gh);
  if (!img) {
    free(ref);
    return 2;
  }
  std::vector<uint32_t> screen(size_t(gw) * size_t(gh));
  for (int j = 0; j < gh; ++j) {
    for (int i = 0; i < gw; ++i) {
      int r, g, b;
      Rgb(img, i, j, &r, &g, &b);
      screen[size_t(j) * size_t(gw) + size_t(i)] = uint32_t(r << 16 | g << 8 | b);
    }
  }
  XDestroyImage(img);
  long best = -1;
  int bestX = 0, bestY = 0;
  for (int dy = 0; dy <= slackY; ++dy) {
    for (int dx = 0; dx <= slackX; ++dx) {
      long bad = 0;
      for (int j = 0; j < h * factor && (best < 0 || bad < best); ++j) {
        for (int i = 0; i < w * factor; ++i) {
          const uint32_t want = ref[(j / factor) * w + i / factor];
          if (screen[size_t(j + dy) * size_t(gw) + size_t(i + dx)] != want) ++bad;
        }
      }
      if (best < 0 || bad < best) {
        best = bad;
        bestX = dx;
        bestY = dy;
      }
    }
  }
  free(ref);
  printf("%ld of %d pixels differ (best placement +%d+%d)\n", best, w * h * factor * factor, bestX,
         bestY);
  return best == 0 ? 0 : 1;
}

int Colours(int x, int y, int w, int h) {
  XImage* img = Grab(x, y, w, h);
  if (!img) return 1;
  uint32_t seen[256];
  int n = 0;
  for (int j = 0; j < h; ++j) {
    for (int i = 0; i < w; ++i) {
      int r, g, b;
      Rgb(img, i, j, &r, &g, &b);
      uint32_t c = (uint32_t)(r << 16 | g << 8 | b);
      int k = 0;
      while (k < n && seen[k] != c) ++k;
      if (k == n && n < 256) seen[n++] = c;
    }
  }
  XDestroyImage(img);
  printf("%d\n", n);
  return 0;
}

// Every window of the scene.
const char* const kScene[] = {"frmCon", "frmMan", "frmSea", "frmUki", "frmFish",
                              "frmC",   "frmL",   "frmR",   "frmV"};
constexpr int kSceneCount = int(sizeof kScene / sizeof kScene[0]);

// Pixels around a shaped sprite that are outside its outline must show the
// desktop: no shadow, no halo, no unshaped rectangle. Counts the pixels
// within `margin` of the window's rectangle that lie outside its bounding
// shape, outside every other window of the scene and above `bottom`, and
// whose colour is not the desktop's.
int Fringe(const char* name, uint32_t desktop, int margin, int bottom) {
  // Every window of the scene, the angler too: a neighbour of ours is not
  // a fringe.
  Geom all[kSceneCount];
  Scan(kScene, kSceneCount, all);
  Geom me = GeomOf(name);
  if (!me.found) {
    printf("no window %s\n", name);
    return 2;
  }
  int count = 0, ordering = 0;
  XRectangle* rects = XShapeGetRectangles(desk.dpy, me.id, ShapeBounding, &count, &ordering);
  auto inShape = [&](int x, int y) {
    for (int i = 0; i < count; ++i) {
      const XRectangle& r = rects[i];
      if (x >= me.wx + r.x && x < me.wx + r.x + r.width && y >= me.wy + r.y &&
          y < me.wy + r.y + r.height)
        return true;
    }
    return false;
  };
  auto inOther = [&](int x, int y) {
    for (const Geom& g : all) {
      if (g.found && g.id != me.id && x >= g.x && x < g.x + g.w && y >= g.y && y < g.y + g.h)
        return true;
    }
    return false;
  };
  const int x0 = me.nx - margin, y0 = me.ny - margin;
  const int w = me.nw + 2 * margin, h = me.nh + 2 * margin;
  XImage* img = Grab(x0 < 0 ? 0 : x0, y0 < 0 ? 0 : y0, w, h);
  if (!img) {
    if (rects) XFree(rects);
    return 2;
  }
  long bad = 0, looked = 0;
  for (int j = 0; j < h; ++j) {
    for (int i = 0; i < w; ++i) {
      const int x = (x0 < 0 ? 0 : x0) + i, y = (y0 < 0 ? 0 : y0) + j;
      if (y >= bottom || inShape(x, y) || inOther(x, y)) continue;
      ++looked;
      int r, g, b;
      Rgb(img, i, j, &r, &g, &b);
      if (uint32_t(r << 16 | g << 8 | b) != desktop) {
        if (bad < 8) printf("(%d,%d) is %02x%02x%02x\n", x, y, r, g, b);
        ++bad;
      }
    }
  }
  XDestroyImage(img);
  if (rects) XFree(rects);
  printf("%ld of %ld pixels around %s are not the desktop (%d outline rectangles)\n", bad, looked,
         name, count);
  return bad == 0 && count > 0 ? 0 : 1;
}

// The outline of a window in root coordinates: where both its bounding
// and its input shapes lie (without shapes, its whole rectangle).
std::vector<XRectangle> Outline(Geom g) {
  std::vector<XRectangle> bounding, out;
  for (int kind : {ShapeBounding, ShapeInput}) {
    int count = 0, ordering = 0;
    XRectangle* r = XShapeGetRectangles(desk.dpy, g.id, kind, &count, &ordering);
    std::vector<XRectangle> rects(r, r + (r ? count : 0));
    if (r) XFree(r);
    if (kind == ShapeBounding) {
      bounding = rects;
      continue;
    }
    for (const XRectangle& a : bounding) {
      for (const XRectangle& b : rects) {
        const int x0 = a.x > b.x ? a.x : b.x, y0 = a.y > b.y ? a.y : b.y;
        const int x1 = a.x + a.width < b.x + b.width ? a.x + a.width : b.x + b.width;
        const int y1 = a.y + a.height < b.y + b.height ? a.y + a.height : b.y + b.height;
        if (x1 > x0 && y1 > y0)
          out.push_back({short(g.wx + x0), short(g.wy + y0), (unsigned short)(x1 - x0),
                         (unsigned short)(y1 - y0)});
      }
    }
  }
  return out;
}

bool Inside(const std::vector<XRectangle>& rects, int x, int y) {
  for (const XRectangle& r : rects) {
    if (x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height) return true;
  }
  return false;
}

// A sprite drawn as its outline and nothing else, judged against a picture
// of the desktop taken before the game started (BEFORE) and one of the
// desktop with the scene (AFTER, "-" for the screen now; both binary PPMs
// of the whole screen). Within MARGIN of the window's rectangle and above
// row BOTTOM: every pixel outside the outlines of the scene's windows is
// the desktop's as it was, and most pixels inside the sprite's outline
// (at least PERCENT) are the sprite's own, not the desktop's. Exit 0 when
// both hold and the outline is cut from the rectangle (or, given PIXELS,
// covers exactly that many pixels).
int DrawnAsOutline(const char* name, const char* before, const char* after, int margin, int bottom,
                   int percent, long outlinePixels) {
  Geom all[kSceneCount];
  Scan(kScene, kSceneCount, all);
  Geom me = GeomOf(name);
  if (!me.found) {
    printf("no window %s\n", name);
    return 2;
  }
  const std::vector<XRectangle> mine = Outline(me);
  std::vector<XRectangle> scene;
  for (const Geom& g : all) {
    if (!g.found) continue;
    const std::vector<XRectangle> o = Outline(g);
    scene.insert(scene.end(), o.begin(), o.end());
  }
  int bw = 0, bh = 0, aw = 0, ah = 0;
  uint32_t* was = ReadPpm(before, &bw, &bh);
  uint32_t* now = nullptr;
  if (strcmp(after, "-") == 0) {
    XWindowAttributes a;
    XGetWindowAttributes(desk.dpy, desk.root, &a);
    aw = a.width;
    ah = a.height;
    if (XImage* img = Grab(0, 0, aw, ah)) {
      now = static_cast<uint32_t*>(malloc(sizeof *now * size_t(aw) * size_t(ah)));
      for (int j = 0; now && j < ah; ++j) {
        for (int i = 0; i < aw; ++i) {
          int r, g, b;
          Rgb(img, i, j, &r, &g, &b);
          now[j * aw + i] = uint32_t(r << 16 | g << 8 | b);
        }
      }
      XDestroyImage(img);
    }
  } else {
    now = ReadPpm(after, &aw, &ah);
  }
  if (!was || !now || bw != aw || bh != ah) {
    printf("cannot compare %s with %s\n", before, after);
    free(was);
    free(now);
    return 2;
  }
  long stray = 0, looked = 0, inside = 0, drawn = 0;
  for (int y = me.ny - margin; y < me.ny + me.nh + margin; ++y) {
    for (int x = me.nx - margin; x < me.nx + me.nw + margin; ++x) {
      if (x < 0 || y < 0 || x >= aw || y >= ah || y >= bottom) continue;
      const bool changed = !Alike(was[y * aw + x], now[y * aw + x]);
      if (Inside(mine, x, y)) {
        ++inside;
        drawn += changed;
      } else if (!Inside(scene, x, y)) {
        ++looked;
        if (changed && stray++ < 8)
          printf("(%d,%d) is %06x, the desktop was %06x\n", x, y, now[y * aw + x], was[y * aw + x]);
      }
    }
  }
  free(was);
  free(now);
  const long area = long(me.nw) * me.nh;
  printf(
      "%s: %ld of %ld pixels around the outline are not the desktop's; %ld of %ld inside it "
      "drawn (outline %ld of the rectangle's %ld pixels)\n",
      name, stray, looked, drawn, inside, inside, area);
  const bool cut = inside > 0 && inside < area;
  return stray == 0 && (outlinePixels ? inside == outlinePixels : cut) &&
                 drawn * 100 >= inside * percent
             ? 0
             : 1;
}

// How many pixels of the rectangle differ between two PPM pictures of the
// same size (exit 0: none).
int Differ(const char* a, const char* b, int x, int y, int w, int h) {
  int aw = 0, ah = 0, bw = 0, bh = 0;
  uint32_t* pa = ReadPpm(a, &aw, &ah);
  uint32_t* pb = ReadPpm(b, &bw, &bh);
  long bad = -1;
  if (pa && pb && aw == bw && ah == bh && x >= 0 && y >= 0 && w > 0 && h > 0 && x + w <= aw &&
      y + h <= ah) {
    bad = 0;
    for (int j = y; j < y + h; ++j) {
      for (int i = x; i < x + w; ++i) bad += !Alike(pa[j * aw + i], pb[j * aw + i]);
    }
  }
  free(pa);
  free(pb);
  printf("%ld\n", bad);
  return bad == 0 ? 0 : 1;
}

// Sets the desktop to one colour the way wallpaper setters do: a root
// pixmap published in _XROOTPMAP_ID, which compositors paint behind all
// windows. The pixmap outlives this process.
int Wallpaper(uint32_t rgb) {
  const int screen = DefaultScreen(desk.dpy);
  Pixmap pixmap =
      XCreatePixmap(desk.dpy, desk.root, 8, 8, unsigned(DefaultDepth(desk.dpy, screen)));
  GC gc = XCreateGC(desk.dpy, pixmap, 0, nullptr);
  XSetForeground(desk.dpy, gc, rgb);
  XFillRectangle(desk.dpy, pixmap, gc, 0, 0, 8, 8);
  XFreeGC(desk.dpy, gc);
  for (const char* name : {"_XROOTPMAP_ID", "ESETROOT_PMAP_ID"}) {
    Atom atom = XInternAtom(desk.dpy, name, False);
    XChangeProperty(desk.dpy, desk.root, atom, XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&pixmap), 1);
  }
  XSetWindowBackgroundPixmap(desk.dpy, desk.root, pixmap);
  XClearWindow(desk.dpy, desk.root);
  XSetCloseDownMode(desk.dpy, RetainPermanent);
  XSync(desk.dpy, False);
  return 0;
}

// A desktop window in one colour, as desktop shells put under everything
// (for window managers that paint no wallpaper of their own, or one that
// changes). Runs until killed.
int DesktopWindow(uint32_t rgb) {
  const int screen = DefaultScreen(desk.dpy);
  Window w =
      XCreateSimpleWindow(desk.dpy, desk.root, 0, 0, unsigned(DisplayWidth(desk.dpy, screen)),
                          unsigned(DisplayHeight(desk.dpy, screen)), 0, rgb, rgb);
  XStoreName(desk.dpy, w, "marivo-desktop");
  Atom type = XInternAtom(desk.dpy, "_NET_WM_WINDOW_TYPE_DESKTOP", False);
  XChangeProperty(desk.dpy, w, XInternAtom(desk.dpy, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32,
                  PropModeReplace, reinterpret_cast<unsigned char*>(&type), 1);
  XMapWindow(desk.dpy, w);
  XFlush(desk.dpy);
  for (;;) {
    XEvent e;
    XNextEvent(desk.dpy, &e);
  }
}

// A compositing manager announces itself by owning this selection.
int Composited(void) {
  char name[32];
  snprintf(name, sizeof name, "_NET_WM_CM_S%d", DefaultScreen(desk.dpy));
  return XGetSelectionOwner(desk.dpy, XInternAtom(desk.dpy, name, False)) != None ? 0 : 1;
}

int Usage(void) {
  fprintf(stderr,
          "usage: marivo-player play [seconds] | geom NAME | window NAME | pixel X Y | colours X Y "
          "W H |\n"
          "       grab X Y W H FILE | scaled FILE X Y FACTOR [SX SY] |\n"
          "       fringe NAME RRGGBB MARGIN BOTTOM | wallpaper RRGGBB | desktop RRGGBB |\n"
          "       composited | outline NAME BEFORE AFTER MARGIN BOTTOM PERCENT [PIXELS] |\n"
          "       differ A B X Y W H\n");
  return 2;
}

}  // namespace
}  // namespace marivo

int main(int argc, char** argv) {
  using namespace marivo;
  if (argc < 2) return Usage();
  desk.dpy = XOpenDisplay(nullptr);
  if (!desk.dpy) {
    fprintf(stderr, "marivo-player: cannot open the display\n");
    return 2;
  }
  desk.root = DefaultRootWindow(desk.dpy);
  XSetErrorHandler(IgnoreErrors);
  const char* cmd = argv[1];
  int rc;
  if (strcmp(cmd, "play") == 0) {
    int ev, er, major, minor;
    if (!XTestQueryExtension(desk.dpy, &ev, &er, &major, &minor)) {
      fprintf(stderr, "marivo-player: the X server has no XTEST\n");
      rc = 2;
    } else {
      rc = Play(argc > 2 ? atof(argv[2]) : 110.0);
    }
  } else if (strcmp(cmd, "geom") == 0 && argc == 3) {
    Geom g = GeomOf(argv[2]);
    if (g.found) printf("%d %d %d %d\n", g.w, g.h, g.x, g.y);
    rc = g.found ? 0 : 1;
  } else if (strcmp(cmd, "window") == 0 && argc == 3) {
    Geom g = GeomOf(argv[2]);
    if (g.found) printf("%d %d %d %d\n", g.nw, g.nh, g.nx, g.ny);
    rc = g.found ? 0 : 1;
  } else if (strcmp(cmd, "pixel") == 0 && argc == 4) {
    int r, g, b;
    rc = PixelAt(atoi(argv[2]), atoi(argv[3]), &r, &g, &b) ? 0 : 1;
    if (rc == 0) printf("%d %d %d\n", r, g, b);
  } else if (strcmp(cmd, "colours") == 0 && argc == 6) {
    rc = Colours(atoi(argv[2]), atoi(argv[3]), atoi(argv[4]), atoi(argv[5]));
  } else if (strcmp(cmd, "grab") == 0 && argc == 7) {
    rc = WritePpm(argv[6], atoi(argv[2]), atoi(argv[3]), atoi(argv[4]), atoi(argv[5]));
  } else if (strcmp(cmd, "scaled") == 0 && (argc == 6 || argc == 8)) {
    rc = Scaled(argv[2], atoi(argv[3]), atoi(argv[4]), atoi(argv[5]), argc == 8 ? atoi(argv[6]) : 0,
                argc == 8 ? atoi(argv[7]) : 0);
  } else if (strcmp(cmd, "desktop") == 0 && argc == 3) {
    rc = DesktopWindow(uint32_t(strtoul(argv[2], nullptr, 16)));
  } else if (strcmp(cmd, "wallpaper") == 0 && argc == 3) {
    rc = Wallpaper(uint32_t(strtoul(argv[2], nullptr, 16)));
  } else if (strcmp(cmd, "differ") == 0 && argc == 8) {
    rc = Differ(argv[2], argv[3], atoi(argv[4]), atoi(argv[5]), atoi(argv[6]), atoi(argv[7]));
  } else if (strcmp(cmd, "outline") == 0 && (argc == 8 || argc == 9)) {
    rc = DrawnAsOutline(argv[2], argv[3], argv[4], atoi(argv[5]), atoi(argv[6]), atoi(argv[7]),
                        argc == 9 ? atol(argv[8]) : 0);
  } else if (strcmp(cmd, "composited") == 0 && argc == 2) {
    rc = Composited();
  } else if (strcmp(cmd, "fringe") == 0 && argc == 6) {
    rc = Fringe(argv[2], uint32_t(strtoul(argv[3], nullptr, 16)), atoi(argv[4]), atoi(argv[5]));
  } else {
    rc = Usage();
  }
  XCloseDisplay(desk.dpy);
  return rc;
}
