#include <gtest/gtest.h>

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>

#include "colour_dialog.h"
#include "test_files.h"

using namespace planora;

namespace {

QPushButton* button(QWidget& w, const QString& text) {
    for (QPushButton* b : w.findChildren<QPushButton*>()) {
        if (b->text() == text) {
            return b;
        }
    }
    return nullptr;
}

}  // namespace

TEST(ColourDialog, BarsEditTheSelectedPenAndOkHandsTheCopyBack) {
    std::array<std::uint32_t, 8> colours{0x0000FF, 0x00FF00, 0xFF0000, 0x102030,
                                         0,        0,        0,        0x00FFFFFF};
    ColourDialog dialog(nullptr, QStringLiteral("FarbDialog"), colours, {}, {});
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Einstellungen FarbDialog"));
    auto* list = dialog.findChild<QListWidget*>("colourList");
    ASSERT_EQ(list->count(), 8);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("Stift 1"));
    EXPECT_EQ(list->item(7)->text(), QStringLiteral("Stift 8"));
    auto* red = dialog.findChild<QScrollBar*>("red");
    auto* green = dialog.findChild<QScrollBar*>("green");
    auto* blue = dialog.findChild<QScrollBar*>("blue");
    EXPECT_EQ(red->value(), 0) << "full red is at the top";
    EXPECT_EQ(green->value(), 255);

    red->triggerAction(QAbstractSlider::SliderSingleStepSub);  // one line up at the top
    EXPECT_EQ(dialog.workingColours()[0], 0x0000FFu);

    list->setCurrentRow(3);
    EXPECT_EQ(red->value(), 255 - 0x30);
    EXPECT_EQ(blue->value(), 255 - 0x10);
    green->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(dialog.workingColours()[3], 0x103930u) << "page up adds 25 to green";
    EXPECT_EQ(colours[3], 0x102030u) << "the caller's array is not touched before OK";

    button(dialog, QStringLiteral("OK"))->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(colours[3], 0x103930u);
    EXPECT_EQ(colours[0], 0x0000FFu);
}

TEST(ColourDialog, FramesAreDrawnAroundBarsAndSwatches) {
    std::array<std::uint32_t, 8> colours{};
    ColourDialog dialog(nullptr, QStringLiteral("FarbDialog"), colours, {}, {});
    dialog.show();
    const QImage image = dialog.grab().toImage();
    const QRect bar = dialog.findChild<QScrollBar*>("blue")->geometry();
    const QPoint mid = bar.center();
    EXPECT_EQ(image.pixelColor(bar.left() - 2, mid.y()), QColor(0, 0, 85));
    EXPECT_EQ(image.pixelColor(bar.left() - 1, mid.y()), QColor(0, 0, 85));
    EXPECT_EQ(image.pixelColor(bar.right() + 2, mid.y()), QColor(0, 0, 255));
    EXPECT_EQ(image.pixelColor(mid.x(), bar.bottom() + 1), QColor(0, 0, 255));
    const QRect swatch = dialog.findChild<QWidget*>("swatch_r")->geometry();
    EXPECT_EQ(image.pixelColor(swatch.center().x(), swatch.top() - 1), QColor(80, 80, 80));
}

TEST(ColourDialog, BackgroundHasOneEntryAndNoInstallationGroup) {
    std::array<std::uint32_t, 1> colour{0x00406080};
    ColourDialog dialog(nullptr, QStringLiteral("FarbDialog"), colour, {}, {});
    dialog.show();
    auto* list = dialog.findChild<QListWidget*>("colourList");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("Hintergrund"));
    EXPECT_FALSE(dialog.findChild<QGroupBox*>()->isVisible());
    EXPECT_FALSE(button(dialog, QStringLiteral("Übernehmen"))->isVisible());
    EXPECT_FALSE(button(dialog, QStringLiteral("Suchen nach ..."))->isVisible());
    dialog.findChild<QScrollBar*>("blue")->setValue(0);
    button(dialog, QStringLiteral("Abbrechen"))->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(colour[0], 0x00406080u);
}

TEST(ColourDialog, SearchingForAnInstallationEnablesItsTakeover) {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("kvn");
    planora::testing::writeFile(dir.filePath("kvn/sydat"), "1\n");
    std::vector<QString> messages;
    QString takenFrom;
    bool takeOverSucceeds = false;
    std::array<std::uint32_t, 8> colours{};
    ColourDialog dialog(
        nullptr, QStringLiteral("FarbDialog"), colours,
        [&](const QString& path, std::span<std::uint32_t> target) {
            takenFrom = path;
            target[0] = 0x123456;
            return takeOverSucceeds;
        },
        [&](MessageIcon, const QString& caption, const QString& text) {
            messages.push_back(caption + "|" + text);
        });
    auto* folder = dialog.findChild<QLabel*>("installationFolder");
    QPushButton* takeOver = button(dialog, QStringLiteral("Übernehmen"));
    EXPECT_TRUE(folder->text().isEmpty()) << "no drawing program registered";
    EXPECT_FALSE(takeOver->isEnabled());

    QString chosen = dir.path();
    dialog.setFolderBrowser([&](QWidget*) { return chosen; });
    button(dialog, QStringLiteral("Suchen nach ..."))->click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], QStringLiteral("Planora - Achtung|Keine kvn-cad-Einstellungen in "
                                          "diesem Verzeichnis gefunden"));
    EXPECT_FALSE(takeOver->isEnabled());

    chosen = dir.filePath("kvn");
    button(dialog, QStringLiteral("Suchen nach ..."))->click();
    EXPECT_EQ(folder->text(), QDir::toNativeSeparators(chosen));
    EXPECT_TRUE(takeOver->isEnabled());
    chosen.clear();  // a cancelled browser changes nothing
    button(dialog, QStringLiteral("Suchen nach ..."))->click();
    EXPECT_TRUE(takeOver->isEnabled());

    takeOver->click();
    EXPECT_EQ(takenFrom, QDir(dir.filePath("kvn")).filePath("sydat"));
    EXPECT_EQ(dialog.result(), QDialog::Rejected) << "a failed takeover keeps the dialog open";
    takeOverSucceeds = true;
    takeOver->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(colours[0], 0x123456u);
}
