#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <vector>

#include "painter_surface.h"
#include "pen_colours.h"
#include "test_files.h"

using namespace planora;

namespace {

struct Message {
    MessageIcon icon;
    QString caption;
    QString text;
};

// Hooks that answer the first-start question as told, record every message and let the test
// play the colour dialog.
struct FakeUi {
    bool answerYes = false;
    int questions = 0;
    QString questionCaption;
    std::vector<Message> messages;
    std::vector<std::uint32_t> dialogSaw;
    std::function<bool(std::span<std::uint32_t>, const PenColourHooks::TakeOver&)> dialog;
    std::vector<std::uint32_t> thumbnails;

    PenColourHooks hooks() {
        PenColourHooks h;
        h.askYesNo = [this](const QString& caption, const QString&) {
            ++questions;
            questionCaption = caption;
            return answerYes;
        };
        h.message = [this](MessageIcon icon, const QString& caption, const QString& text) {
            messages.push_back({icon, caption, text});
        };
        h.colourDialog = [this](const QString&, std::span<std::uint32_t> colours,
                                const PenColourHooks::TakeOver& takeOver) {
            dialogSaw.assign(colours.begin(), colours.end());
            return dialog ? dialog(colours, takeOver) : false;
        };
        h.thumbnailBackground = [this](std::uint32_t c) { thumbnails.push_back(c); };
        return h;
    }
};

class PenColours : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString settingsFile() const { return dir.filePath("settings.ini"); }
};

QRgb rgb(int r, int g, int b) {
    return qRgb(r, g, b) & 0xFFFFFF;
}

// The colour in which a horizontal line of the given pen reaches the screen.
QRgb drawnColour(Renderer& renderer, int pen) {
    ElementStore store;
    store.createElementStore(1);
    store.addLine(0, 5, 20, 5, 0, pen, 1);
    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    {
        PainterSurface surface(painter, 20, 10);
        ViewTransform view;
        view.deviceOriginY = 10;
        renderer.renderElements(surface, view, store, Renderer::Path::ElementByElement);
    }
    painter.end();
    return image.pixel(10, 5) & 0xFFFFFF;
}

// A "sydat" file: line 76 + i holds pens[i], line 351 + i colours[i]; other lines are filler.
QByteArray sydat(const std::vector<QByteArray>& pens, const std::vector<QByteArray>& colours,
                 int lines = 366) {
    QByteArray text;
    for (int n = 1; n <= lines; ++n) {
        QByteArray line = "x" + QByteArray::number(n);
        if (n >= 76 && n < 76 + static_cast<int>(pens.size())) {
            line = pens[static_cast<std::size_t>(n - 76)];
        } else if (n >= 351 && n < 351 + static_cast<int>(colours.size())) {
            line = colours[static_cast<std::size_t>(n - 351)];
        }
        text += line + "\n";
    }
    return text;
}

const std::vector<QByteArray> kPens{"1", " 2", "+3", "21", "-4", "6", "7abc", "15"};
const std::vector<QByteArray> kColours{"0",  "-1", "16711680", "255",       "65280", "32768",
                                       "5",  "6",  "7",        "8",         "9",     "10",
                                       "11", "12", "13",       "4278190335"};

}  // namespace

TEST_F(PenColours, FirstStartNoConfiguresTheBuiltInColoursOnce) {
    SettingsStore settings(settingsFile());
    ViewerState state;
    FakeUi ui;
    initPenColours(state, settings, ui.hooks());
    EXPECT_EQ(ui.questions, 1);
    EXPECT_EQ(ui.questionCaption, QStringLiteral("Bitte wählen Sie ..."));
    ASSERT_TRUE(settings.penTable());
    EXPECT_EQ(*settings.penTable(), (PenTable{1, 2, 3, 4, 5, 6, 7, 8}));
    const auto colours = settings.colourTable();
    ASSERT_TRUE(colours);
    EXPECT_TRUE(std::equal(colours->begin(), colours->end(), defaultColourTable().begin()));
    EXPECT_EQ(drawnColour(state.renderer, 5), rgb(0, 0, 255)) << "colour 5 is blue";
    EXPECT_EQ(drawnColour(state.renderer, 4), rgb(255, 0, 0));
    EXPECT_TRUE(ui.thumbnails.empty()) << "no stored background: the thumbnails keep theirs";

    ViewerState next;
    initPenColours(next, settings, ui.hooks());
    EXPECT_EQ(ui.questions, 1) << "the question comes only once";
    EXPECT_EQ(drawnColour(next.renderer, 4), rgb(255, 0, 0));
}

TEST_F(PenColours, FirstStartYesStoresOnlyAConfirmedDialog) {
    ViewerState state;
    FakeUi ui;
    ui.answerYes = true;
    {
        SettingsStore settings(settingsFile());
        initPenColours(state, settings, ui.hooks());  // the dialog hook cancels
        EXPECT_FALSE(settings.penTable());
        EXPECT_FALSE(settings.colourTable());
        // The renderer's initial table: pen 1 on colour 0 (grey), pen 2 on colour 1.
        EXPECT_EQ(drawnColour(state.renderer, 1), rgb(192, 192, 192));
    }
    ui.dialog = [](std::span<std::uint32_t> colours, const PenColourHooks::TakeOver&) {
        colours[0] = 0x0000FF;  // pen 1 pure red
        return true;
    };
    SettingsStore settings(settingsFile());
    initPenColours(state, settings, ui.hooks());
    EXPECT_EQ(ui.questions, 2) << "asked again after the cancel";
    ASSERT_EQ(ui.dialogSaw.size(), 8u);
    EXPECT_EQ(ui.dialogSaw[4], defaultColourTable()[5]);
    ASSERT_TRUE(settings.colourTable());
    EXPECT_EQ((*settings.colourTable())[1], 0x0000FFu);
    EXPECT_EQ((*settings.colourTable())[2], defaultColourTable()[2]);
    EXPECT_EQ(drawnColour(state.renderer, 1), rgb(255, 0, 0));
}

TEST_F(PenColours, ShortStoredValuesCountAsMissing) {
    SettingsStore settings(settingsFile());
    settings.setColourTable(ColourTable{});
    settings.writeBinarySetting(kPenTableValue, QByteArray(31, '\1'));
    settings.writeBinarySetting(kBackgroundColourValue, QByteArray(3, '\x7f'));
    ViewerState state;
    state.renderer.setBackgroundColour(0x123456);
    FakeUi ui;
    initPenColours(state, settings, ui.hooks());
    EXPECT_EQ(ui.questions, 1);
    EXPECT_EQ(state.renderer.backgroundColour(), 0u);
    EXPECT_TRUE(ui.thumbnails.empty());
    EXPECT_EQ(*settings.penTable(), (PenTable{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST_F(PenColours, StoredColourNumbersOfSixteenAndAboveAreReducedIntoTheTable) {
    SettingsStore settings(settingsFile());
    ColourTable colours{};
    for (std::uint32_t i = 0; i < 16; ++i) {
        colours[i] = 0x010101 * (i + 1);
    }
    settings.setColourTable(colours);
    settings.setPenTable(PenTable{17, 2, 0xFFFFFFFFu, 4, 5, 6, 7, 31});
    settings.setBackgroundColour(0x00336699);
    ViewerState state;
    FakeUi ui;
    initPenColours(state, settings, ui.hooks());
    EXPECT_EQ(ui.questions, 0);
    EXPECT_EQ(state.renderer.backgroundColour(), 0x00336699u);
    EXPECT_EQ(ui.thumbnails, (std::vector<std::uint32_t>{0x00336699}));
    EXPECT_EQ(drawnColour(state.renderer, 1), rgb(2, 2, 2)) << "17 is colour 1";
    EXPECT_EQ(drawnColour(state.renderer, 3), rgb(1, 1, 1)) << "-1 is colour 0";
    EXPECT_EQ(drawnColour(state.renderer, 8), rgb(16, 16, 16)) << "31 is colour 15";

    ui.dialog = [](std::span<std::uint32_t>, const PenColourHooks::TakeOver&) { return false; };
    EXPECT_FALSE(editPenColours(state, settings, ui.hooks()));
    ASSERT_EQ(ui.dialogSaw.size(), 8u);
    EXPECT_EQ(ui.dialogSaw[0], colours[1]);
    EXPECT_EQ(ui.dialogSaw[7], colours[15]);
}

TEST_F(PenColours, EditingPensThatShareAColourKeepsTheLaterPenAndWarns) {
    SettingsStore settings(settingsFile());
    ViewerState state;
    FakeUi ui;
    ui.dialog = [](std::span<std::uint32_t>, const PenColourHooks::TakeOver&) { return true; };
    EXPECT_FALSE(editPenColours(state, settings, ui.hooks())) << "nothing configured yet";
    EXPECT_TRUE(ui.dialogSaw.empty());

    settings.setColourTable(ColourTable{});
    settings.setPenTable(PenTable{3, 1, 3, 4, 5, 6, 7, 8});
    initPenColours(state, settings, ui.hooks());
    ui.dialog = [](std::span<std::uint32_t> colours, const PenColourHooks::TakeOver&) {
        colours[0] = 0x0000AA;
        colours[2] = 0x00BB00;
        colours[1] = 0xCC0000;
        return true;
    };
    EXPECT_TRUE(editPenColours(state, settings, ui.hooks()));
    const ColourTable stored = *settings.colourTable();
    EXPECT_EQ(stored[3], 0x00BB00u) << "pen 3 comes after pen 1";
    EXPECT_EQ(stored[1], 0xCC0000u);
    EXPECT_EQ(drawnColour(state.renderer, 1), rgb(0, 0xBB, 0)) << "the pen table stays";
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].caption, QStringLiteral("Achtung"));
    EXPECT_TRUE(ui.messages[0].text.startsWith(
        QStringLiteral("Mehrere Stifte haben die gleiche Farbnummer.\n")));
    EXPECT_TRUE(ui.messages[0].text.endsWith(QStringLiteral("berücksich-\ntigen können.")));

    settings.setPenTable(PenTable{1, 2, 3, 4, 5, 6, 7, 8});
    ui.messages.clear();
    EXPECT_TRUE(editPenColours(state, settings, ui.hooks()));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(PenColours, BackgroundDialogEditsOneColour) {
    SettingsStore settings(settingsFile());
    ViewerState state;
    FakeUi ui;
    ui.dialog = [](std::span<std::uint32_t> colours, const PenColourHooks::TakeOver&) {
        colours[0] = 0x00FFEEDD;
        return true;
    };
    EXPECT_TRUE(editBackgroundColour(state, settings, ui.hooks()));
    EXPECT_EQ(ui.dialogSaw, (std::vector<std::uint32_t>{0}));
    EXPECT_EQ(settings.backgroundColour(), 0x00FFEEDDu);
    EXPECT_EQ(state.renderer.backgroundColour(), 0x00FFEEDDu);
    EXPECT_EQ(ui.thumbnails, (std::vector<std::uint32_t>{0x00FFEEDD}));

    ui.dialog = [](std::span<std::uint32_t> colours, const PenColourHooks::TakeOver&) {
        colours[0] = 0x1;
        return false;
    };
    EXPECT_FALSE(editBackgroundColour(state, settings, ui.hooks()));
    EXPECT_EQ(ui.dialogSaw, (std::vector<std::uint32_t>{0x00FFEEDD}));
    EXPECT_EQ(settings.backgroundColour(), 0x00FFEEDDu);
}

TEST_F(PenColours, SydatFilesGiveTheirPensAndColoursFromTheFixedLines) {
    FakeUi ui;
    const QString full = planora::testing::writeFile(dir.filePath("sydat"), sydat(kPens, kColours));
    const auto read = readInstallationColours(full, ui.hooks());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->pens, (PenNumbers{1, 2, 3, 21, -4, 6, 7, 15}));
    EXPECT_EQ(read->colours[1], 0x00FFFFFFu) << "-1 is white";
    EXPECT_EQ(read->colours[2], 0x00FF0000u) << "16711680 is blue 255";
    EXPECT_EQ(read->colours[15], 0x000000FFu) << "bits above 23 are dropped";
    EXPECT_EQ(read->colours[14], 13u);

    const QString shorter =
        planora::testing::writeFile(dir.filePath("short"), sydat(kPens, kColours, 365));
    EXPECT_FALSE(readInstallationColours(shorter, ui.hooks()));
    EXPECT_TRUE(ui.messages.empty()) << "a short file fails silently";

    // A physical line longer than 127 characters counts as two lines: everything moves down.
    QByteArray longLine = sydat(kPens, kColours);
    longLine.replace("x10\n", QByteArray(150, 'y') + "\n");
    const QString shifted = planora::testing::writeFile(dir.filePath("long"), longLine);
    const auto moved = readInstallationColours(shifted, ui.hooks());
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->pens[1], 1) << "line 77 now holds what was written for pen 1";
    EXPECT_EQ(moved->colours[0], 0u);

    EXPECT_FALSE(readInstallationColours(dir.filePath("missing"), ui.hooks()));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("Installation von -kvn cad- nicht gefunden!"));
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Exclamation);
}

TEST_F(PenColours, TakingOverAppliesAndStoresTheInstallationsTables) {
    SettingsStore settings(settingsFile());
    ViewerState state;
    FakeUi ui;
    const QString path = planora::testing::writeFile(dir.filePath("sydat"), sydat(kPens, kColours));
    std::array<std::uint32_t, 8> dialogColours{};
    ASSERT_TRUE(takeOverInstallationColours(path, dialogColours, state, settings, ui.hooks()));
    EXPECT_EQ(*settings.penTable(), (PenTable{1, 2, 3, 21, 0xFFFFFFFCu, 6, 7, 15}));
    EXPECT_EQ((*settings.colourTable())[2], 0x00FF0000u);
    EXPECT_EQ(dialogColours[0], 0x00FFFFFFu);
    EXPECT_EQ(dialogColours[3], 32768u) << "21 is colour 5";
    EXPECT_EQ(dialogColours[4], 0u) << "a negative number is colour 0";
    EXPECT_EQ(drawnColour(state.renderer, 2), rgb(0, 0, 255));
    EXPECT_EQ(drawnColour(state.renderer, 4), rgb(0, 128, 0));

    // A failed takeover changes nothing.
    const QString shorter =
        planora::testing::writeFile(dir.filePath("short"), sydat({"9"}, {}, 365));
    std::array<std::uint32_t, 8> untouched{7, 7, 7, 7, 7, 7, 7, 7};
    EXPECT_FALSE(takeOverInstallationColours(shorter, untouched, state, settings, ui.hooks()));
    EXPECT_EQ(untouched[0], 7u);
    EXPECT_EQ((*settings.penTable())[0], 1u);

    // "Übernehmen" inside the first-start dialog: the built-in table with the installation's
    // eight pen colours at the colour numbers 1 to 8, and the pens back on 1 to 8.
    SettingsStore fresh(dir.filePath("fresh.ini"));
    ViewerState other;
    ui.answerYes = true;
    ui.dialog = [&path](std::span<std::uint32_t> colours,
                        const PenColourHooks::TakeOver& takeOver) {
        return takeOver(path, colours);
    };
    initPenColours(other, fresh, ui.hooks());
    EXPECT_EQ(*fresh.penTable(), (PenTable{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ((*fresh.colourTable())[1], 0x00FFFFFFu);
    EXPECT_EQ((*fresh.colourTable())[4], 32768u);
    EXPECT_EQ((*fresh.colourTable())[0], defaultColourTable()[0]);
    EXPECT_EQ(drawnColour(other.renderer, 4), rgb(0, 128, 0));
}

TEST_F(PenColours, InstallationIsFoundThroughItsDesktopEntry) {
    const QByteArray savedHome = qgetenv("XDG_DATA_HOME");
    const QByteArray savedDirs = qgetenv("XDG_DATA_DIRS");
    QDir(dir.path()).mkpath("home/applications");
    QDir(dir.path()).mkpath("system/applications");
    QDir(dir.path()).mkpath("kvn cad/bin");
    qputenv("XDG_DATA_HOME", dir.filePath("home").toUtf8());
    qputenv("XDG_DATA_DIRS", (dir.filePath("empty") + ":" + dir.filePath("system")).toUtf8());

    EXPECT_FALSE(locateInstallationSettings()) << "no entry anywhere";

    const QString program = dir.filePath("kvn cad/bin/zeiprog");
    planora::testing::writeFile(program, "#!/bin/sh\n");
    planora::testing::writeFile(dir.filePath("system/applications/ruraze.zeiprog.desktop"),
                                "[Desktop Entry]\nName=Zeichenprogramm\nExec=\"" +
                                    program.toUtf8() + "\" %f\nType=Application\n");
    EXPECT_EQ(locateInstallationSettings(), dir.filePath("kvn cad/bin/sydat"));

    // The user's own entry comes first.
    planora::testing::writeFile(dir.filePath("home/applications/ruraze.zeiprog.desktop"),
                                "[Desktop Action x]\nExec=/nowhere/a\n[Desktop Entry]\nExec=" +
                                    dir.filePath("home/zp").toUtf8() + " --open %f\n");
    EXPECT_EQ(locateInstallationSettings(), dir.filePath("home/sydat"));

    EXPECT_EQ(installationFolderFromOpenCommand("\"/opt/a \\\"b\\\"/zp\" %F"), "/opt/a \"b\"");
    EXPECT_FALSE(installationFolderFromOpenCommand("   "));

    qputenv("XDG_DATA_HOME", savedHome);
    qputenv("XDG_DATA_DIRS", savedDirs);
}
