#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "settings_store.h"

using namespace planora;

namespace {

class SettingsStoreTest : public ::testing::Test {
  protected:
    QString file() const { return dir_.filePath(QStringLiteral("Planora.conf")); }
    QTemporaryDir dir_;
};

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray b;
    for (int v : values) {
        b.append(static_cast<char>(v));
    }
    return b;
}

}  // namespace

TEST_F(SettingsStoreTest, FirstStartGivesDefaultsAndFirstWriteCreatesTheFile) {
    SettingsStore store(file());
    EXPECT_EQ(store.titleMode(), 0);
    EXPECT_FALSE(store.loadWindowPosition());
    EXPECT_FALSE(store.penTable());
    EXPECT_FALSE(store.colourTable());
    EXPECT_EQ(store.backgroundColour(), 0u);
    EXPECT_FALSE(store.readStringSetting(kLastOpenedExtensionValue));
    EXPECT_FALSE(QFile::exists(file()));

    store.writeStringSetting(kLastOpenedExtensionValue, QStringLiteral("*.akt"));
    EXPECT_TRUE(QFile::exists(file()));  // written at once, not only at exit
}

TEST_F(SettingsStoreTest, TitleModeIsReadAsADecimalNumberWhenTheStoreIsMade) {
    struct Case {
        const char* stored;
        int mode;
    };
    for (const Case c : {Case{"2", 2}, Case{"x", 0}, Case{" 1abc", 1}, Case{"", 0}, Case{"-1", -1},
                         Case{"99999999999", INT_MAX}}) {
        {
            QSettings raw(file(), QSettings::IniFormat);
            raw.setValue(kTitleModeValue, QString::fromUtf8(c.stored));
        }
        SettingsStore store(file());
        EXPECT_EQ(store.titleMode(), c.mode) << c.stored;
    }

    SettingsStore store(file());
    store.setTitleMode(1);
    EXPECT_EQ(store.titleMode(), 1);
    EXPECT_EQ(store.readStringSetting(kTitleModeValue), QStringLiteral("1"));  // stored as text
    EXPECT_EQ(SettingsStore(file()).titleMode(), 1);
}

TEST_F(SettingsStoreTest, WindowPositionRoundTripsAsSixteenLittleEndianBytes) {
    {
        SettingsStore store(file());
        store.saveWindowPosition({10, 20, 810, 620});
    }
    SettingsStore store(file());
    const auto geometry = store.loadWindowPosition();
    ASSERT_TRUE(geometry);
    EXPECT_EQ(*geometry, (WindowGeometry{10, 20, 800, 600}));
    EXPECT_EQ(store.readBinarySetting(kWindowPositionValue),
              bytes({10, 0, 0, 0, 20, 0, 0, 0, 0x2A, 3, 0, 0, 0x6C, 2, 0, 0}));

    // A window on a screen left of and above the primary one has negative coordinates.
    store.saveWindowPosition({-1290, -5, -10, 1019});
    EXPECT_EQ(store.loadWindowPosition(), (WindowGeometry{-1290, -5, 1280, 1024}));
}

TEST_F(SettingsStoreTest, MinimizedWindowLeavesTheStoredPositionAlone) {
    SettingsStore store(file());
    store.saveWindowPosition({10, 20, 810, 620});
    store.saveWindowPosition({-32000, -32000, -31840, -31969}, /*minimized=*/true);
    EXPECT_EQ(store.loadWindowPosition(), (WindowGeometry{10, 20, 800, 600}));
}

TEST_F(SettingsStoreTest, ShortWrongKindOrEmptyValuesCountAsMissing) {
    SettingsStore store(file());
    store.writeBinarySetting(kWindowPositionValue, QByteArray(15, '\x01'));
    EXPECT_FALSE(store.loadWindowPosition());
    store.writeStringSetting(kWindowPositionValue, QStringLiteral("0123456789abcdef"));
    EXPECT_FALSE(store.loadWindowPosition());
    // right < left: no window could have had this rectangle
    store.writeBinarySetting(kWindowPositionValue,
                             bytes({100, 0, 0, 0, 0, 0, 0, 0, 50, 0, 0, 0, 100, 0, 0, 0}));
    EXPECT_FALSE(store.loadWindowPosition());

    store.writeBinarySetting(kPenTableValue, QByteArray(31, '\x02'));
    EXPECT_FALSE(store.penTable());
    store.writeBinarySetting(kColourTableValue, QByteArray(63, '\x02'));
    EXPECT_FALSE(store.colourTable());
    store.writeBinarySetting(kBackgroundColourValue, QByteArray(3, '\x7f'));
    EXPECT_EQ(store.backgroundColour(), 0u);

    // A binary value is not text.
    store.writeBinarySetting(kLastSavedExtensionValue, QByteArray("*.zip"));
    EXPECT_FALSE(store.readStringSetting(kLastSavedExtensionValue));
}

TEST_F(SettingsStoreTest, ColourValuesKeepTheirBytes) {
    SettingsStore store(file());
    PenTable pens{1, 2, 3, 4, 5, 6, 7, 0x01020304};
    store.setPenTable(pens);
    ColourTable colours{};
    for (std::size_t i = 0; i < colours.size(); ++i) {
        colours[i] = 0x00FF0000u >> i;
    }
    store.setColourTable(colours);
    store.setBackgroundColour(0x00C0FFEE);

    SettingsStore again(file());
    EXPECT_EQ(again.penTable(), pens);
    EXPECT_EQ(again.colourTable(), colours);
    EXPECT_EQ(again.backgroundColour(), 0x00C0FFEEu);
    const auto raw = again.readBinarySetting(kPenTableValue);
    ASSERT_TRUE(raw);
    ASSERT_EQ(raw->size(), 32);
    EXPECT_EQ(raw->right(4), bytes({4, 3, 2, 1}));
}

TEST(SettingsStoreLocation, DefaultStoreLivesUnderTheConfigurationHome) {
    const QString home = qEnvironmentVariable("XDG_CONFIG_HOME");
    ASSERT_FALSE(home.isEmpty());
    SettingsStore store;
    EXPECT_EQ(QDir::cleanPath(store.location()),
              QDir::cleanPath(home + QStringLiteral("/Quellmark/Planora.conf")));
    store.saveWindowPosition({1, 2, 3, 4});
    EXPECT_TRUE(QFile::exists(store.location()));
}
