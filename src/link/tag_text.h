#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace orvik::link {

// Tag names travel one byte a character in the Windows-1252 character set, in which the tags stored in
// the field were written. The program keeps text in UTF-8.

// The wire bytes of `utf8`. A character without a Windows-1252 byte, or text that is not UTF-8, throws
// ConversionError naming the first such character; nothing is converted then.
std::string TagBytesFromText(std::string_view utf8);

// The text of tag bytes from the wire: every byte is a character (bytes Windows-1252 leaves unassigned
// read as the control characters of the same number, so they survive a read and a write back).
std::string TagTextFromBytes(std::string_view bytes);

// A tag as typed, blanks around it removed: the controller pads a tag with blanks itself.
std::string TrimmedTag(const std::string& text);

// The tag of a "C" answer (code byte to checksum), blanks around it removed: only bytes inside that
// packet (at most 20) count.
std::string AnswerTag(std::span<const std::uint8_t> packet);

}  // namespace orvik::link
