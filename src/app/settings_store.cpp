#include "settings_store.h"

#include <QSettings>
#include <QVariant>

#include <climits>

namespace planora {

namespace {

constexpr char kOrganisation[] = "Quellmark";
constexpr char kApplication[] = "Planora";

constexpr qsizetype kWindowPositionSize = 16;
constexpr qsizetype kPenTableSize = 32;
constexpr qsizetype kColourTableSize = 64;
constexpr qsizetype kBackgroundColourSize = 4;

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

}  // namespace

int parseTitleMode(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    long long value = 0;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > INT_MAX) {
            value = INT_MAX;  // any out-of-range mode shows the program name alone
        }
        ++i;
    }
    return static_cast<int>(negative ? -value : value);
}

QByteArray packLittleEndian(const std::uint32_t* values, std::size_t count) {
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(count * 4));
    for (std::size_t i = 0; i < count; ++i) {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.append(static_cast<char>((values[i] >> shift) & 0xFFu));
        }
    }
    return bytes;
}

void unpackLittleEndian(const QByteArray& bytes, std::uint32_t* values, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t v = 0;
        for (int b = 0; b < 4; ++b) {
            const auto at = static_cast<qsizetype>(i * 4 + b);
            const auto byte = at < bytes.size() ? static_cast<unsigned char>(bytes[at]) : 0u;
            v |= static_cast<std::uint32_t>(byte) << (8 * b);
        }
        values[i] = v;
    }
}

SettingsStore::SettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            kOrganisation, kApplication)) {
    if (auto text = readStringSetting(kTitleModeValue)) {
        titleMode_ = parseTitleMode(*text);
    }
}

SettingsStore::SettingsStore(const QString& fileName)
    : settings_(std::make_unique<QSettings>(fileName, QSettings::IniFormat)) {
    if (auto text = readStringSetting(kTitleModeValue)) {
        titleMode_ = parseTitleMode(*text);
    }
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::location() const {
    return settings_->fileName();
}

std::optional<QByteArray> SettingsStore::readBinarySetting(const QString& name,
                                                           qsizetype minimumSize) const {
    const QVariant value = settings_->value(name);
    if (value.typeId() != QMetaType::QByteArray) {
        return std::nullopt;
    }
    QByteArray bytes = value.toByteArray();
    if (bytes.size() < minimumSize) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<QString> SettingsStore::readStringSetting(const QString& name) const {
    const QVariant value = settings_->value(name);
    if (value.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    return value.toString();
}

void SettingsStore::writeBinarySetting(const QString& name, const QByteArray& data) {
    settings_->setValue(name, data);
    settings_->sync();
}

void SettingsStore::writeStringSetting(const QString& name, const QString& text) {
    settings_->setValue(name, text);
    settings_->sync();
}

void SettingsStore::removeSetting(const QString& name) {
    settings_->remove(name);
    settings_->sync();
}

void SettingsStore::sync() {
    settings_->sync();
}

void SettingsStore::setTitleMode(int mode) {
    writeStringSetting(kTitleModeValue, QString::number(mode));
    titleMode_ = mode;
}

std::optional<WindowGeometry> SettingsStore::loadWindowPosition() const {
    const auto bytes = readBinarySetting(kWindowPositionValue, kWindowPositionSize);
    if (!bytes) {
        return std::nullopt;
    }
    std::uint32_t v[4];
    unpackLittleEndian(*bytes, v, 4);
    const WindowRect r{static_cast<std::int32_t>(v[0]), static_cast<std::int32_t>(v[1]),
                       static_cast<std::int32_t>(v[2]), static_cast<std::int32_t>(v[3])};
    // A rectangle without area (or one whose size overflows) cannot be a window that was saved;
    // the window then gets the system's place and size instead of an unusable one.
    const long long width = static_cast<long long>(r.right) - r.left;
    const long long height = static_cast<long long>(r.bottom) - r.top;
    if (width <= 0 || height <= 0 || width > INT_MAX || height > INT_MAX) {
        return std::nullopt;
    }
    return WindowGeometry{r.left, r.top, static_cast<int>(width), static_cast<int>(height)};
}

void SettingsStore::saveWindowPosition(const WindowRect& rect, bool minimized) {
    if (minimized) {
        return;
    }
    const std::uint32_t v[4] = {
        static_cast<std::uint32_t>(rect.left), static_cast<std::uint32_t>(rect.top),
        static_cast<std::uint32_t>(rect.right), static_cast<std::uint32_t>(rect.bottom)};
    writeBinarySetting(kWindowPositionValue, packLittleEndian(v, 4));
}

std::optional<PenTable> SettingsStore::penTable() const {
    const auto bytes = readBinarySetting(kPenTableValue, kPenTableSize);
    if (!bytes) {
        return std::nullopt;
    }
    PenTable pens{};
    unpackLittleEndian(*bytes, pens.data(), pens.size());
    return pens;
}

void SettingsStore::setPenTable(const PenTable& pens) {
    writeBinarySetting(kPenTableValue, packLittleEndian(pens.data(), pens.size()));
}

std::optional<ColourTable> SettingsStore::colourTable() const {
    const auto bytes = readBinarySetting(kColourTableValue, kColourTableSize);
    if (!bytes) {
        return std::nullopt;
    }
    ColourTable colours{};
    unpackLittleEndian(*bytes, colours.data(), colours.size());
    return colours;
}

void SettingsStore::setColourTable(const ColourTable& colours) {
    writeBinarySetting(kColourTableValue, packLittleEndian(colours.data(), colours.size()));
}

std::uint32_t SettingsStore::backgroundColour() const {
    const auto bytes = readBinarySetting(kBackgroundColourValue, kBackgroundColourSize);
    if (!bytes) {
        return 0;
    }
    std::uint32_t colour = 0;
    unpackLittleEndian(*bytes, &colour, 1);
    return colour;
}

void SettingsStore::setBackgroundColour(std::uint32_t colour) {
    writeBinarySetting(kBackgroundColourValue, packLittleEndian(&colour, 1));
}

}  // namespace planora
