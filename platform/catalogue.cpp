#include "platform/catalogue.h"

#include "marivo_version.h"

#include <array>

namespace marivo {
namespace {

constexpr FontDesign kGothic825{"ＭＳ Ｐゴシック", 8.25, false};
constexpr FontDesign kGothic9{"ＭＳ Ｐゴシック", 9.0, false};
constexpr FontDesign kMincho1125Bold{"ＭＳ Ｐ明朝", 11.25, true};
constexpr FontDesign kTimes975Bold{"Times New Roman", 9.75, true};

ControlDesign MakeTimer(std::string_view name, int interval, bool enabled) {
  ControlDesign c;
  c.kind = ControlKind::Timer;
  c.name = name;
  c.interval = interval;
  c.enabled = enabled;
  c.visible = false;
  return c;
}

ControlDesign MakeFrame(std::string_view name, int index, double left, const assets::Image& pic) {
  ControlDesign c;
  c.kind = ControlKind::PictureBox;
  c.name = name;
  c.index = index;
  c.left = left;
  c.top = 0;
  c.width = pic.width * 15.0;
  c.height = pic.height * 15.0;
  c.picture = &pic;
  c.frameStore = true;
  return c;
}

ControlDesign MakeLabel(std::string_view name, int index, double l, double t, double w, double h,
                        std::string_view caption, FontDesign font = {}) {
  ControlDesign c;
  c.kind = ControlKind::Label;
  c.name = name;
  c.index = index;
  c.left = l;
  c.top = t;
  c.width = w;
  c.height = h;
  c.caption = caption;
  c.font = font;
  return c;
}

ControlDesign MakeLine(std::string_view name, int index, double x1, double y1, double x2, double y2,
                       Color color = kBlack) {
  ControlDesign c;
  c.kind = ControlKind::Line;
  c.name = name;
  c.index = index;
  c.x1 = x1;
  c.y1 = y1;
  c.x2 = x2;
  c.y2 = y2;
  c.foreColor = color;
  return c;
}

ControlDesign MakeButton(std::string_view name, double l, double t, double w, double h,
                         std::string_view caption, FontDesign font = {}) {
  ControlDesign c;
  c.kind = ControlKind::CommandButton;
  c.name = name;
  c.left = l;
  c.top = t;
  c.width = w;
  c.height = h;
  c.caption = caption;
  c.font = font;
  return c;
}

ControlDesign MakeMenu(std::string_view name, std::string_view caption, std::string_view parent,
                       bool visible = true) {
  ControlDesign c;
  c.kind = ControlKind::MenuItem;
  c.name = name;
  c.caption = caption;
  c.parent = parent;
  c.visible = visible;
  return c;
}

WindowDesign Sprite(WindowId id, std::string_view name, std::string_view caption, double w,
                    double h) {
  WindowDesign d;
  d.id = id;
  d.name = name;
  d.border = BorderStyle::None;
  d.caption = caption;
  d.clientWidth = w;
  d.clientHeight = h;
  d.sprite = true;
  return d;
}

std::vector<WindowDesign> BuildCatalogue() {
  std::vector<WindowDesign> all;

  {  // The angler; frames stored from left 1890.
    WindowDesign d = Sprite(WindowId::frmMan, "frmMan", "", 9720, 1725);
    d.picture = &assets::ManFrame(0);
    for (int i = 0; i < 7; ++i) {
      d.controls.push_back(MakeFrame("Picture1", i, 1890 + i * 780.0, assets::ManFrame(i)));
    }
    d.controls.push_back(MakeTimer("Timer1", 80, false));
    all.push_back(std::move(d));
  }
  {  // The sea strip.
    WindowDesign d = Sprite(WindowId::frmSea, "frmSea", "", 6375, 210);
    d.backColor = kBlue;
    d.sprite = false;  // a plain rectangle, never shaped
    all.push_back(std::move(d));
  }
  {  // The float; frames stored from left 1605.
    WindowDesign d = Sprite(WindowId::frmUki, "frmUki", "", 2145, 1755);
    d.picture = &assets::UkiFrame(2);
    for (int i = 0; i < 6; ++i) {
      d.controls.push_back(MakeFrame("Picture1", i, 1605 + i * 495.0, assets::UkiFrame(i)));
    }
    d.controls.push_back(MakeTimer("Timer1", 200, false));
    all.push_back(std::move(d));
  }
  {  // The version dialog.
    WindowDesign d;
    d.id = WindowId::frm_Version;
    d.name = "frm_Version";
    d.border = BorderStyle::FixedDialog;
    d.caption = "ﾊﾞｰｼﾞｮﾝ情報";
    d.clientWidth = 3945;
    d.clientHeight = 1125;
    d.icon = &assets::IconPicture();
    d.font = kMincho1125Bold;
    d.showInTaskbar = true;
    ControlDesign image;
    image.kind = ControlKind::Image;
    image.name = "Image1";
    image.left = 105;
    image.top = 195;
    image.width = 480;
    image.height = 480;
    image.picture = &assets::IconPicture();
    d.controls.push_back(image);
    d.controls.push_back(
        MakeLabel("Label2", 0, 540, 150, 2490, 285, "マリヴォ２", kMincho1125Bold));
    d.controls.push_back(
        MakeLabel("Label2", 1, 1515, 525, 1515, 285, "Version " MARIVO_VERSION, kTimes975Bold));
    // An etched rule across the whole dialog.
    d.controls.push_back(MakeLine("Line1", -1, -135, 870, 10330, 870, kWhite));
    d.controls.push_back(MakeLine("Line2", -1, -60, 870, 10330, 870, kWhite));
    d.controls.push_back(MakeLine("Line3", -1, -45, 885, 10330, 885, 0x808080));
    ControlDesign ok = MakeButton("Command1", 3075, 120, 795, 345, "OK", kGothic9);
    ok.isDefault = true;
    d.controls.push_back(ok);
    all.push_back(std::move(d));
  }
  {  // Holder of the popup menu; never shown.
    WindowDesign d;
    d.id = WindowId::frmMenu;
    d.name = "frmMenu";
    d.border = BorderStyle::Sizable;
    d.caption = "Form1";
    d.clientWidth = 1620;
    d.clientHeight = 75;
    d.controls.push_back(MakeMenu("mpop", "mpop", "", false));
    d.controls.push_back(MakeMenu("mFishList", "釣果履歴", "mpop"));
    d.controls.push_back(MakeMenu("sep002", "-", "mpop"));
    d.controls.push_back(MakeMenu("mver", "バージョン情報", "mpop"));
    d.controls.push_back(MakeMenu("sep001", "-", "mpop"));
    d.controls.push_back(MakeMenu("mComplete", "認定書を見る！", "mpop"));
    d.controls.push_back(MakeMenu("sepx", "-", "mpop"));
    d.controls.push_back(MakeMenu("mend", "終了", "mpop"));
    all.push_back(std::move(d));
  }
  {  // The control bar.
    WindowDesign d;
    d.id = WindowId::frmCon;
    d.name = "frmCon";
    d.border = BorderStyle::ThinSingle;
    d.caption = "";
    d.clientWidth = 3855;
    d.clientHeight = 195;
    d.sprite = false;
    d.controls.push_back(MakeLabel("Label1", -1, 60, 30, 945, 165, ">>>>>", kGothic825));
    ControlDesign gauge;
    gauge.kind = ControlKind::PictureBox;
    gauge.name = "Picture2";
    gauge.left = 45;
    gauge.top = 60;
    gauge.width = 930;
    gauge.height = 135;
    gauge.visible = false;
    gauge.picture = &assets::GaugePicture();
    d.controls.push_back(gauge);
    ControlDesign button;
    button.kind = ControlKind::PictureBox;
    button.name = "Picture1";
    button.left = 990;
    button.top = -30;
    button.width = 225;
    button.height = 300;
    button.backColor = kBlue;
    d.controls.push_back(button);
    d.controls.push_back(MakeTimer("Timer1", 100, false));
    d.controls.push_back(MakeTimer("Timer2", 1000, true));
    d.controls.push_back(MakeTimer("Timer3", 1, false));
    all.push_back(std::move(d));
  }
  {  // The caught-fish sprite: catches 0..44 and the empty hook at 99.
    WindowDesign d = Sprite(WindowId::frmFish, "frmFish", "", 12765, 1260);
    for (int i = 0; i < 45; ++i) {
      d.controls.push_back(MakeFrame("Picture1", i, 3090 + i * 560.0, assets::FishPicture(i)));
    }
    d.controls.push_back(MakeFrame("Picture1", 99, 3090 + 45 * 560.0, assets::HookPicture()));
    d.controls.push_back(MakeTimer("Timer1", 50, true));
    all.push_back(std::move(d));
  }
  {  // Balloon centre piece: carries the text and the four cap pictures.
    WindowDesign d = Sprite(WindowId::frmC, "frmC", "CENTER", 5550, 420);
    d.backColor = kWhite;
    d.font = kGothic825;
    d.sprite = false;  // a plain rectangle, never shaped
    for (int i = 0; i < 4; ++i) {
      d.controls.push_back(MakeFrame("Picture1", i, 3525 + i * 150.0, assets::BalloonPiece(i)));
    }
    d.controls.push_back(MakeLine("Line1", -1, 1995, 75, 3165, 75));
    d.controls.push_back(MakeLine("Line2", -1, 2010, 300, 3165, 300));
    all.push_back(std::move(d));
  }
  {
    WindowDesign d = Sprite(WindowId::frmL, "frmL", "LEFT", 5055, 150);
    d.picture = &assets::BalloonPiece(0);
    all.push_back(std::move(d));
  }
  {
    WindowDesign d = Sprite(WindowId::frmR, "frmR", "RIGHT", 5370, 285);
    d.picture = &assets::BalloonPiece(1);
    all.push_back(std::move(d));
  }
  {  // The catch history dialog.
    WindowDesign d;
    d.id = WindowId::frmList;
    d.name = "frmList";
    d.border = BorderStyle::FixedDialog;
    d.caption = "Marivo";
    d.clientWidth = 5070;
    d.clientHeight = 4020;
    d.icon = &assets::IconPicture();
    d.showInTaskbar = true;
    ControlDesign title = MakeLabel("Label1", -1, 75, 60, 4950, 165, "釣果履歴");
    title.align = TextAlign::Center;
    d.controls.push_back(title);
    ControlDesign frame;
    frame.kind = ControlKind::Shape;
    frame.name = "Shape1";
    frame.left = 0;
    frame.top = 300;
    frame.width = 5055;
    frame.height = 3165;
    d.controls.push_back(frame);
    const double rows[4] = {930, 1560, 2190, 2820};
    for (int i = 0; i < 4; ++i) {
      d.controls.push_back(MakeLine("Line1", i, i < 2 ? 15 : 30, rows[i], 5040, rows[i]));
    }
    struct Column {
      std::string_view name;
      double x, y1, y2;
    };
    const Column columns[] = {{"Line2", 615, 300, 3450},  {"Line3", 1260, 300, 3450},
                              {"Line4", 1890, 300, 3450}, {"Line5", 2520, 300, 3450},
                              {"Line6", 3150, 315, 3465}, {"Line8", 3780, 315, 3465},
                              {"Line7", 4410, 315, 3465}};
    for (const Column& c : columns)
      d.controls.push_back(MakeLine(c.name, -1, c.x, c.y1, c.x, c.y2));
    for (int i = 0; i < 40; ++i) {
      ControlDesign pic;
      pic.kind = ControlKind::PictureBox;
      pic.name = "Picture1";
      pic.index = i;
      const int column = i % 8;
      const int row = i / 8;
      pic.left = 45 + 630.0 * column;
      pic.top = (i >= 5 && i <= 7) ? 360 : 345 + 630.0 * row;
      pic.width = 540;
      pic.height = 540;
      pic.picture = &assets::HistoryPicture(i);
      d.controls.push_back(pic);
    }
    d.controls.push_back(MakeButton("Command1", 165, 3510, 1080, 420, "閉じる"));
    d.controls.push_back(MakeButton("Command2", 3975, 3510, 1080, 420, "釣果クリア"));
    ControlDesign count = MakeLabel("Label2", -1, 1395, 3615, 1095, 240, "");
    count.align = TextAlign::Center;
    count.transparent = true;
    d.controls.push_back(count);
    ControlDesign kinds = MakeLabel("Label3", -1, 2730, 3615, 1095, 240, "");
    kinds.align = TextAlign::Center;
    kinds.transparent = true;
    d.controls.push_back(kinds);
    all.push_back(std::move(d));
  }
  {  // The tension marker shown above a hooked float.
    WindowDesign d = Sprite(WindowId::frmV, "frmV", "", 1725, 420);
    all.push_back(std::move(d));
  }
  {  // The certificate.
    WindowDesign d;
    d.id = WindowId::FrmComplete;
    d.name = "FrmComplete";
    d.border = BorderStyle::FixedSingle;
    d.caption = "Marivo2";
    d.clientWidth = 3000;
    d.clientHeight = 2040;
    d.picture = &assets::CertificatePicture();
    d.icon = &assets::IconPicture();
    d.showInTaskbar = true;
    all.push_back(std::move(d));
  }
  return all;
}

const std::vector<WindowDesign>& Catalogue() {
  static const std::vector<WindowDesign> catalogue = BuildCatalogue();
  return catalogue;
}

}  // namespace

const WindowDesign& Design(WindowId id) {
  return Catalogue()[static_cast<int>(id)];
}

std::span<const WindowDesign> AllDesigns() {
  return Catalogue();
}

}  // namespace marivo
