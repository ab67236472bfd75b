#include "drawing_info.h"

namespace planora {

std::vector<std::string> splitRemarkLines(std::string_view text) {
    std::vector<std::string> lines;
    if (!text.empty() && text.front() == '*') {
        text.remove_prefix(1);
    }
    for (;;) {
        while (!text.empty() && text.front() == '\x05') {
            text.remove_prefix(1);
        }
        const std::size_t six = text.find('\x06');
        const std::size_t seven = text.find('\x07');
        std::size_t end = six;
        if (seven != std::string_view::npos && six != std::string_view::npos && seven < six) {
            end = seven;
        }
        if (end == std::string_view::npos) {
            lines.emplace_back(text);
            return lines;
        }
        lines.emplace_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
}

}  // namespace planora
