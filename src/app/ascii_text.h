// Comparisons that ignore the case of ASCII letters only, as file names, extensions and
// command-line switches are compared (other letters must match exactly).
#pragma once

#include <QString>
#include <QStringView>

namespace planora {

constexpr char16_t asciiLower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
}

inline bool asciiEqualsIgnoreCase(QStringView a, QStringView b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i].unicode()) != asciiLower(b[i].unicode())) {
            return false;
        }
    }
    return true;
}

inline bool endsWithAsciiIgnoreCase(QStringView text, QStringView suffix) {
    return text.size() >= suffix.size() && asciiEqualsIgnoreCase(text.right(suffix.size()), suffix);
}

}  // namespace planora
