#include "tools/xpm_reader.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

namespace marivo::xpm {
namespace {

// The few colour names editors write instead of a hex value.
struct NamedColour {
  const char* name;
  std::uint32_t rgb;
};
constexpr NamedColour kNamedColours[] = {
    {"black", 0x000000},   {"white", 0xFFFFFF}, {"red", 0xFF0000},    {"green", 0x00FF00},
    {"lime", 0x00FF00},    {"blue", 0x0000FF},  {"yellow", 0xFFFF00}, {"cyan", 0x00FFFF},
    {"magenta", 0xFF00FF}, {"gray", 0xBEBEBE},  {"grey", 0xBEBEBE},
};

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Collects the C string literals of the file in order, skipping comments.
bool ExtractStrings(const std::string& text, std::vector<std::string>* out, std::string* error) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, 2, "/*") == 0) {
      const std::size_t end = text.find("*/", i + 2);
      if (end == std::string::npos) {
        *error = "unterminated comment";
        return false;
      }
      i = end + 2;
    } else if (text.compare(i, 2, "//") == 0) {
      const std::size_t end = text.find('\n', i);
      i = end == std::string::npos ? text.size() : end + 1;
    } else if (text[i] == '"') {
      std::string literal;
      ++i;
      while (i < text.size() && text[i] != '"') {
        if (text[i] == '\\' && i + 1 < text.size()) ++i;
        if (text[i] == '\n') {
          *error = "line break inside a string";
          return false;
        }
        literal += text[i++];
      }
      if (i >= text.size()) {
        *error = "unterminated string";
        return false;
      }
      ++i;
      out->push_back(std::move(literal));
    } else {
      ++i;
    }
  }
  return true;
}

bool ParseHexDigits(const std::string& digits, std::uint32_t* value) {
  if (digits.empty()) return false;
  std::uint32_t v = 0;
  for (char c : digits) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    v = v * 16 + static_cast<std::uint32_t>(std::stoi(std::string(1, c), nullptr, 16));
  }
  *value = v;
  return true;
}

bool ParseColour(const std::string& text, std::uint32_t* rgb) {
  const std::string lower = Lower(text);
  if (lower == "none") {
    *rgb = kNone;
    return true;
  }
  if (!lower.empty() && lower[0] == '#') {
    const std::string digits = lower.substr(1);
    if (digits.size() % 3 != 0 || digits.size() > 12) return false;
    const std::size_t n = digits.size() / 3;
    std::uint32_t channel[3];
    for (int k = 0; k < 3; ++k) {
      if (!ParseHexDigits(digits.substr(k * n, n), &channel[k])) return false;
      // Keep the most significant byte of each channel; widen one digit.
      if (n == 1) channel[k] *= 17;
      if (n > 2) channel[k] >>= 4 * (n - 2);
    }
    *rgb = (channel[0] << 16) | (channel[1] << 8) | channel[2];
    return true;
  }
  for (const NamedColour& named : kNamedColours) {
    if (lower == named.name) {
      *rgb = named.rgb;
      return true;
    }
  }
  return false;
}

bool IsVisualKey(const std::string& word) {
  return word == "c" || word == "m" || word == "g" || word == "g4" || word == "s";
}

// Parses the part of a colour line after the pixel characters: pairs of a
// visual key and a value. The colour ("c") value wins; grey or mono values
// stand in when a file has no colour value.
bool ParseColourEntry(const std::string& rest, std::uint32_t* rgb) {
  std::istringstream words(rest);
  std::map<std::string, std::string> values;
  std::string word;
  std::string key;
  while (words >> word) {
    if (IsVisualKey(word)) {
      key = word;
      values[key];
    } else if (!key.empty()) {
      std::string& value = values[key];
      value += value.empty() ? word : " " + word;
    } else {
      return false;
    }
  }
  for (const char* preferred : {"c", "g", "g4", "m"}) {
    const auto found = values.find(preferred);
    if (found != values.end()) return ParseColour(found->second, rgb);
  }
  return false;
}

std::string DeclaredName(const std::string& text) {
  const std::size_t star =
      text.find('*', text.find("*/") == std::string::npos ? 0 : text.find("*/") + 2);
  if (star == std::string::npos) return "";
  std::size_t begin = star + 1;
  while (begin < text.size() && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  std::size_t end = begin;
  while (end < text.size() &&
         (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_')) {
    ++end;
  }
  return text.substr(begin, end - begin);
}

}  // namespace

bool ParseXpm(const std::string& text, Picture* picture, std::string* error) {
  std::vector<std::string> strings;
  if (!ExtractStrings(text, &strings, error)) return false;
  if (strings.empty()) {
    *error = "no XPM header";
    return false;
  }
  std::istringstream header(strings[0]);
  int width = 0;
  int height = 0;
  int colours = 0;
  int charsPerPixel = 0;
  if (!(header >> width >> height >> colours >> charsPerPixel) || width <= 0 || height <= 0 ||
      colours <= 0 || charsPerPixel <= 0 || charsPerPixel > 4 || width > 4096 || height > 4096) {
    *error = "bad XPM header \"" + strings[0] + "\"";
    return false;
  }
  if (strings.size() < static_cast<std::size_t>(1 + colours + height)) {
    *error = "file ends before the last pixel row";
    return false;
  }
  std::map<std::string, std::uint32_t> palette;
  for (int i = 0; i < colours; ++i) {
    const std::string& line = strings[1 + i];
    if (line.size() < static_cast<std::size_t>(charsPerPixel)) {
      *error = "short colour line " + std::to_string(i + 1);
      return false;
    }
    std::uint32_t rgb = 0;
    if (!ParseColourEntry(line.substr(charsPerPixel), &rgb)) {
      *error = "unreadable colour line \"" + line + "\"";
      return false;
    }
    if (!palette.emplace(line.substr(0, charsPerPixel), rgb).second) {
      *error = "colour \"" + line.substr(0, charsPerPixel) + "\" defined twice";
      return false;
    }
  }
  Picture result;
  result.name = DeclaredName(text);
  result.width = width;
  result.height = height;
  result.pixels.reserve(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    const std::string& row = strings[1 + colours + y];
    if (row.size() != static_cast<std::size_t>(width * charsPerPixel)) {
      *error = "row " + std::to_string(y) + " has " + std::to_string(row.size()) +
               " characters, expected " + std::to_string(width * charsPerPixel);
      return false;
    }
    for (int x = 0; x < width; ++x) {
      const auto found = palette.find(row.substr(x * charsPerPixel, charsPerPixel));
      if (found == palette.end()) {
        *error = "row " + std::to_string(y) + " column " + std::to_string(x) +
                 " uses an undefined colour";
        return false;
      }
      result.pixels.push_back(found->second);
    }
  }
  *picture = std::move(result);
  return true;
}

bool ReadXpmFile(const std::string& path, Picture* picture, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = path + ": cannot open";
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (!ParseXpm(text.str(), picture, error)) {
    *error = path + ": " + *error;
    return false;
  }
  return true;
}

std::string FormatXpm(const Picture& picture) {
  static constexpr char kSymbols[] =
      " .XoO+@#$%&*=-;:>,<1234567890qwertyuipasdfghjklzxcvbnmMNBVCZASDFGHJKLPIUYTREWQ!~^/"
      "()_`'][{}|";
  constexpr int kSymbolCount = sizeof(kSymbols) - 1;
  std::vector<std::uint32_t> colours;
  for (std::uint32_t p : picture.pixels) {
    if (std::find(colours.begin(), colours.end(), p) == colours.end()) colours.push_back(p);
  }
  const int charsPerPixel = colours.size() <= kSymbolCount ? 1 : 2;
  auto code = [&](std::size_t index) {
    std::string s;
    if (charsPerPixel == 2) s += kSymbols[index / kSymbolCount];
    s += kSymbols[index % kSymbolCount];
    return s;
  };
  std::map<std::uint32_t, std::string> codes;
  for (std::size_t i = 0; i < colours.size(); ++i) codes[colours[i]] = code(i);

  std::ostringstream out;
  const std::string name = picture.name.empty() ? "picture" : picture.name;
  out << "/* XPM */\nstatic const char* " << name << "[] = {\n";
  out << "\"" << picture.width << " " << picture.height << " " << colours.size() << " "
      << charsPerPixel << "\",\n";
  for (std::uint32_t c : colours) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "#%06X", c & 0xFFFFFF);
    out << "\"" << codes[c] << " c " << (c == kNone ? std::string("None") : std::string(hex))
        << "\",\n";
  }
  for (int y = 0; y < picture.height; ++y) {
    out << "\"";
    for (int x = 0; x < picture.width; ++x) out << codes[picture.At(x, y)];
    out << "\"" << (y + 1 < picture.height ? ",\n" : "\n");
  }
  out << "};\n";
  return out.str();
}

}  // namespace marivo::xpm
