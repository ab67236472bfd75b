// Conversion of the drawing files' Windows-1252 texts.
#pragma once

#include <string>
#include <string_view>

namespace planora {

// Windows-1252 bytes to UTF-8. The five bytes that Windows-1252 leaves unassigned (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) become the C1 control characters of the same number.
std::string toUtf8FromCp1252(std::string_view bytes);

// UTF-8 to Windows-1252; characters without a Windows-1252 byte become '?'.
std::string toCp1252FromUtf8(std::string_view utf8);

// A file name (bytes in the platform's encoding) made safe to print on a terminal or in a
// message: valid UTF-8 stays as it is, control characters and bytes that are not valid UTF-8
// become "\xHH", so a name can neither send escape sequences nor break the output's encoding.
std::string printableFileName(std::string_view name);

}  // namespace planora
