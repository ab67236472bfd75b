// Small pieces of SVG text shared by the screen-picture SVG surface and the exact SVG export.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace planora {

// A colour 0x00BBGGRR as "#rrggbb".
inline std::string svgColour(std::uint32_t colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", static_cast<unsigned>(colour & 0xFF),
                  static_cast<unsigned>((colour >> 8) & 0xFF),
                  static_cast<unsigned>((colour >> 16) & 0xFF));
    return text;
}

// Text for XML character data and attribute values. XML cannot hold control characters at all;
// they show as blanks, as on every other surface.
inline std::string xmlEscaped(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
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
            default:
                out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
        }
    }
    return out;
}

}  // namespace planora
