#include "platform/qt/font_selection.h"

#include <QString>
#include <QStringList>
#include <algorithm>
#include <string_view>
#include <unordered_set>

#include "platform/catalogue.h"
#include "platform/qt/qt_support.h"

namespace marivo::qt {
namespace {

void AddOnce(std::vector<std::string>& list, std::string name) {
  if (std::find(list.begin(), list.end(), name) == list.end()) list.push_back(std::move(name));
}

// `text` as character data of a configuration document.
std::string Escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool CoversJapanese(FcPattern* font) {
  FcLangSet* langs = nullptr;
  return FcPatternGetLangSet(font, FC_LANG, 0, &langs) == FcResultMatch &&
         FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>("ja")) == FcLangEqual;
}

// A family name as fontconfig compares them: without blanks, in one case.
std::string FamilyKey(const FcChar8* name) {
  FcChar8* lower = FcStrDowncase(name);
  if (lower == nullptr) return "";
  std::string key;
  for (const FcChar8* c = lower; *c != 0; ++c) {
    if (*c != ' ') key += static_cast<char>(*c);
  }
  FcStrFree(lower);
  return key;
}

// The family names of `fonts` the game can draw with: those covering
// Japanese and those named in `wanted`, each family once, by the name the
// font gives first.
std::vector<std::string> GameFamiliesAmong(const std::vector<FcPattern*>& fonts,
                                           const std::vector<std::string>& wanted) {
  std::unordered_set<std::string> keys;
  for (const std::string& name : wanted) {
    keys.insert(FamilyKey(reinterpret_cast<const FcChar8*>(name.c_str())));
  }
  std::vector<std::string> families;
  for (FcPattern* font : fonts) {
    FcChar8* first = nullptr;
    if (FcPatternGetString(font, FC_FAMILY, 0, &first) != FcResultMatch) continue;
    bool game = CoversJapanese(font);
    FcChar8* name = nullptr;
    for (int i = 0; !game && FcPatternGetString(font, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
      game = keys.count(FamilyKey(name)) != 0;
    }
    if (game) AddOnce(families, reinterpret_cast<const char*>(first));
  }
  return families;
}

// The fonts a configuration has read, held (fontconfig keeps a font's
// record, and the cache it lives in, while someone holds it).
class HeldFonts {
 public:
  explicit HeldFonts(FcConfig* config) {
    FcFontSet* set = FcConfigGetFonts(config, FcSetSystem);
    for (int i = 0; set != nullptr && i < set->nfont; ++i) Hold(set->fonts[i]);
  }
  HeldFonts() = default;
  ~HeldFonts() {
    for (FcPattern* font : fonts_) FcPatternDestroy(font);
  }
  HeldFonts(const HeldFonts&) = delete;
  HeldFonts& operator=(const HeldFonts&) = delete;

  void Hold(FcPattern* font) {
    if (!index_.insert(font).second) return;
    FcPatternReference(font);
    fonts_.push_back(font);
  }
  bool Has(FcPattern* font) const { return index_.count(font) != 0; }
  const std::vector<FcPattern*>& Fonts() const { return fonts_; }

 private:
  std::vector<FcPattern*> fonts_;
  std::unordered_set<FcPattern*> index_;
};

// A rule that rejects the files of `fonts`; empty when a path holds a
// wildcard a glob cannot say literally.
std::string RejectFilesRule(const std::vector<FcPattern*>& fonts) {
  std::string rule =
      "<?xml version=\"1.0\"?>\n"
      "<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
      "<fontconfig><selectfont><rejectfont>\n";
  for (FcPattern* font : fonts) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch) return "";
    const std::string_view path = reinterpret_cast<const char*>(file);
    if (path.find_first_of("*?") != std::string_view::npos) return "";
    rule += "<glob>" + Escaped(path) + "</glob>\n";
  }
  rule += "</rejectfont></selectfont></fontconfig>\n";
  return rule;
}

bool AddRule(FcConfig* config, const std::string& rule) {
  return FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(rule.c_str()),
                                        FcFalse) != FcFalse;
}

// The game's fonts out of the fonts the user's configuration lets through,
// read into `config`; false when that cannot be done exactly.
bool KeepOnlyGameFonts(FcConfig* config, const std::vector<std::string>& defaults) {
  // First what the user's configuration alone reads; the rule then names
  // only families found there (a short rule is quick to apply to every
  // font). Fontconfig lets a font through when any rule accepts it, so
  // naming a family also brings back its members the user's rules reject
  // (bitmap fonts, say); those are found by comparing, and rejected by file.
  if (!FcConfigBuildFonts(config)) return false;
  const HeldFonts users(config);
  if (std::none_of(users.Fonts().begin(), users.Fonts().end(), CoversJapanese)) return false;
  const std::vector<std::string> families =
      GameFamiliesAmong(users.Fonts(), FamiliesConsidered(config, RequestedFamilies(defaults)));
  if (!AddRule(config, KeepOnlyRule(families)) || !FcConfigBuildFonts(config)) return false;
  HeldFonts kept;
  std::vector<FcPattern*> brought;
  {
    const HeldFonts chosen(config);
    for (FcPattern* font : chosen.Fonts()) {
      if (users.Has(font)) {
        kept.Hold(font);
      } else {
        brought.push_back(font);
      }
    }
    if (brought.empty()) return true;
    const std::string reject = RejectFilesRule(brought);
    if (reject.empty() || !AddRule(config, reject) || !FcConfigBuildFonts(config)) return false;
  }
  // Exactly the kept fonts: none the user's rules reject, none lost with a
  // rejected file.
  const HeldFonts now(config);
  return now.Fonts().size() == kept.Fonts().size() &&
         std::all_of(now.Fonts().begin(), now.Fonts().end(),
                     [&kept](FcPattern* font) { return kept.Has(font); });
}

}  // namespace

std::vector<std::string> RequestedFamilies(const std::vector<std::string>& defaults) {
  std::vector<std::string> faces;
  for (const WindowDesign& design : AllDesigns()) {
    if (design.font.face != nullptr) AddOnce(faces, design.font.face);
    for (const ControlDesign& control : design.controls) {
      if (control.font.face != nullptr) AddOnce(faces, control.font.face);
    }
  }
  std::vector<std::string> families;
  for (const std::string& face : faces) {
    for (const QString& family : FamiliesFor(face.c_str())) {
      AddOnce(families, family.toStdString());
    }
  }
  for (const std::string& family : defaults) AddOnce(families, family);
  return families;
}

std::vector<std::string> FamiliesConsidered(FcConfig* config,
                                            const std::vector<std::string>& requested) {
  std::vector<std::string> considered;
  // Without a language the configuration adds the user's own; Qt asks
  // with "ja" for kana.
  for (const char* lang : {static_cast<const char*>(nullptr), "ja"}) {
    for (const std::string& name : requested) {
      FcPattern* pattern = FcPatternCreate();
      if (pattern == nullptr) continue;
      FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
      if (lang != nullptr) {
        FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(lang));
      }
      FcConfigSubstitute(config, pattern, FcMatchPattern);
      FcDefaultSubstitute(pattern);
      FcChar8* family = nullptr;
      for (int i = 0; FcPatternGetString(pattern, FC_FAMILY, i, &family) == FcResultMatch; ++i) {
        AddOnce(considered, reinterpret_cast<const char*>(family));
      }
      FcPatternDestroy(pattern);
    }
  }
  return considered;
}

std::string KeepOnlyRule(const std::vector<std::string>& families) {
  std::string rule =
      "<?xml version=\"1.0\"?>\n"
      "<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
      "<fontconfig><selectfont><acceptfont>\n";
  for (const std::string& family : families) {
    rule += "<pattern><patelt name=\"family\"><string>" + Escaped(family) +
            "</string></patelt></pattern>\n";
  }
  // An empty pattern matches every font; what is accepted above stays.
  rule += "</acceptfont><rejectfont><pattern/></rejectfont></selectfont></fontconfig>\n";
  return rule;
}

FcConfig* GameFontConfig(const std::vector<std::string>& defaults) {
  FcConfig* config = FcInitLoadConfig();
  if (config == nullptr) return nullptr;
  if (!KeepOnlyGameFonts(config, defaults)) {
    FcConfigDestroy(config);
    return nullptr;
  }
  return config;
}

bool UseGameFontsOnly(const std::vector<std::string>& defaults) {
  FcConfig* config = GameFontConfig(defaults);
  if (config == nullptr) return false;
  // The process's configuration holds its own reference (Qt drops it at
  // the end).
  const bool set = FcConfigSetCurrent(config) != FcFalse;
  FcConfigDestroy(config);
  return set;
}

}  // namespace marivo::qt
