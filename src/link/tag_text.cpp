#include "link/tag_text.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "link/controller_link.h"
#include "link/subs.h"

namespace orvik::link {

namespace {

// Code points of bytes 80..9F in Windows-1252; the five unassigned bytes keep their own number.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t codePointOf(std::uint8_t byte) {
  return byte >= 0x80 && byte <= 0x9F ? kHighControls[byte - 0x80] : byte;
}

int byteOf(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == cp) return static_cast<int>(0x80 + i);
  }
  return -1;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The code point starting at `i`, advancing `i` past it; -1 for bytes that are not UTF-8.
long nextCodePoint(std::string_view s, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(s[i++]);
  if (lead < 0x80) return lead;
  int extra = 0;
  char32_t cp = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1;
    cp = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2;
    cp = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3;
    cp = lead & 0x07;
  } else {
    return -1;
  }
  for (int k = 0; k < extra; ++k) {
    if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return -1;
    cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
  }
  return static_cast<long>(cp);
}

}  // namespace

std::string TagBytesFromText(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t start = i;
    const long cp = nextCodePoint(utf8, i);
    const int byte = cp < 0 ? -1 : byteOf(static_cast<char32_t>(cp));
    if (byte < 0) {
      throw ConversionError("The character \"" + std::string(utf8.substr(start, i - start)) +
                            "\" cannot be stored in the controller's tag name.");
    }
    out += static_cast<char>(byte);
  }
  return out;
}

std::string TagTextFromBytes(std::string_view bytes) {
  std::string out;
  for (char b : bytes)
    appendUtf8(out, codePointOf(static_cast<std::uint8_t>(b)));
  return out;
}

std::string AnswerTag(std::span<const std::uint8_t> packet) {
  // The checksum is the last byte; the tag is what lies between the length byte and it, 20 at most.
  const std::size_t end = packet.empty() ? 0 : std::min<std::size_t>(packet.size() - 1, 2 + kTagLength);
  std::string bytes;
  for (std::size_t i = 2; i < end; ++i)
    bytes += static_cast<char>(packet[i]);
  const auto first = bytes.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  bytes = bytes.substr(first, bytes.find_last_not_of(' ') - first + 1);
  return TagTextFromBytes(bytes);
}

std::string TrimmedTag(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace orvik::link
