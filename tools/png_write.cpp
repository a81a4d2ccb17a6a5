#include "tools/png_write.h"

#include <algorithm>
#include <array>
#include <fstream>

namespace marivo {
namespace {

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) c = kCrcTable[(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void PutBigEndian(std::vector<std::uint8_t>* out, std::uint32_t v) {
  out->push_back(static_cast<std::uint8_t>(v >> 24));
  out->push_back(static_cast<std::uint8_t>(v >> 16));
  out->push_back(static_cast<std::uint8_t>(v >> 8));
  out->push_back(static_cast<std::uint8_t>(v));
}

void PutChunk(std::vector<std::uint8_t>* out, const char type[4],
              const std::vector<std::uint8_t>& data) {
  PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t typeAt = out->size();
  out->insert(out->end(), type, type + 4);
  out->insert(out->end(), data.begin(), data.end());
  PutBigEndian(out, Crc32(out->data() + typeAt, out->size() - typeAt));
}

// Writes bits least significant first, as deflate wants them.
class BitWriter {
 public:
  explicit BitWriter(std::vector<std::uint8_t>* out) : out_(out) {}
  void Bits(std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) {
      if (value & (1u << i)) current_ |= static_cast<std::uint8_t>(1u << used_);
      if (++used_ == 8) Flush();
    }
  }
  // Huffman codes go most significant bit first.
  void Code(std::uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) Bits((code >> i) & 1, 1);
  }
  void Flush() {
    if (used_ == 0) return;
    out_->push_back(current_);
    current_ = 0;
    used_ = 0;
  }

 private:
  std::vector<std::uint8_t>* out_;
  std::uint8_t current_ = 0;
  int used_ = 0;
};

// The fixed Huffman code of deflate for literal/length symbol 0..287.
void PutSymbol(BitWriter* bits, int symbol) {
  if (symbol < 144) {
    bits->Code(0x30 + symbol, 8);
  } else if (symbol < 256) {
    bits->Code(0x190 + symbol - 144, 9);
  } else if (symbol < 280) {
    bits->Code(symbol - 256, 7);
  } else {
    bits->Code(0xC0 + symbol - 280, 8);
  }
}

constexpr int kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr int kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr int kDistanceBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                   33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                   1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr int kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

void PutMatch(BitWriter* bits, int length, int distance) {
  int l = 28;
  while (kLengthBase[l] > length) --l;
  PutSymbol(bits, 257 + l);
  bits->Bits(static_cast<std::uint32_t>(length - kLengthBase[l]), kLengthExtra[l]);
  int d = 29;
  while (kDistanceBase[d] > distance) --d;
  bits->Code(static_cast<std::uint32_t>(d), 5);
  bits->Bits(static_cast<std::uint32_t>(distance - kDistanceBase[d]), kDistanceExtra[d]);
}

// A zlib stream of one deflate block with the fixed codes; repeats are found
// with a hash chain over the last 32 KiB. Sprite sheets and screenshots are
// mostly flat colour, so this is small enough without dynamic codes.
std::vector<std::uint8_t> DeflateZlib(const std::vector<std::uint8_t>& raw) {
  std::vector<std::uint8_t> z = {0x78, 0x01};
  BitWriter bits(&z);
  bits.Bits(1, 1);  // the last block
  bits.Bits(1, 2);  // fixed Huffman codes
  constexpr int kWindow = 32768;
  constexpr int kHashSize = 1 << 15;
  constexpr int kMaxChain = 48;
  std::vector<int> head(kHashSize, -1);
  std::vector<int> previous(raw.size(), -1);
  auto hashAt = [&](std::size_t i) {
    return ((raw[i] << 10) ^ (raw[i + 1] << 5) ^ raw[i + 2]) & (kHashSize - 1);
  };
  auto insert = [&](std::size_t i) {
    if (i + 2 >= raw.size()) return;
    const int h = hashAt(i);
    previous[i] = head[h];
    head[h] = static_cast<int>(i);
  };
  std::size_t i = 0;
  while (i < raw.size()) {
    int bestLength = 0;
    int bestDistance = 0;
    if (i + 2 < raw.size()) {
      int candidate = head[hashAt(i)];
      const std::size_t limit = std::min<std::size_t>(258, raw.size() - i);
      for (int chain = 0; candidate >= 0 && chain < kMaxChain; ++chain) {
        const int distance = static_cast<int>(i) - candidate;
        if (distance > kWindow) break;
        std::size_t n = 0;
        while (n < limit && raw[candidate + n] == raw[i + n]) ++n;
        if (static_cast<int>(n) > bestLength) {
          bestLength = static_cast<int>(n);
          bestDistance = distance;
          if (n == limit) break;
        }
        candidate = previous[candidate];
      }
    }
    if (bestLength >= 3) {
      PutMatch(&bits, bestLength, bestDistance);
      for (int k = 0; k < bestLength; ++k) insert(i + k);
      i += bestLength;
    } else {
      PutSymbol(&bits, raw[i]);
      insert(i);
      ++i;
    }
  }
  PutSymbol(&bits, 256);  // end of block
  bits.Flush();
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  PutBigEndian(&z, (b << 16) | a);
  return z;
}

}  // namespace

std::vector<std::uint8_t> EncodePng(int width, int height, const std::uint32_t* rgb) {
  if (width <= 0 || height <= 0 || rgb == nullptr) return {};
  std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  PutBigEndian(&header, static_cast<std::uint32_t>(width));
  PutBigEndian(&header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter, no interlace
  PutChunk(&out, "IHDR", header);

  std::vector<std::uint8_t> raw;
  raw.reserve(static_cast<std::size_t>(height) * (1 + 3 * static_cast<std::size_t>(width)));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // filter type: none
    for (int x = 0; x < width; ++x) {
      const std::uint32_t p = rgb[static_cast<std::size_t>(y) * width + x];
      raw.push_back(static_cast<std::uint8_t>(p >> 16));
      raw.push_back(static_cast<std::uint8_t>(p >> 8));
      raw.push_back(static_cast<std::uint8_t>(p));
    }
  }
  PutChunk(&out, "IDAT", DeflateZlib(raw));
  PutChunk(&out, "IEND", {});
  return out;
}

bool WritePng(const std::string& path, int width, int height, const std::uint32_t* rgb) {
  const std::vector<std::uint8_t> bytes = EncodePng(width, height, rgb);
  if (bytes.empty()) return false;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file.flush());
}

}  // namespace marivo
