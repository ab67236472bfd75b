#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "file_filters.h"
#include "settings_store.h"

using namespace planora;

class FileDialogMemoryTest : public ::testing::Test {
  protected:
    QTemporaryDir dir_;
    SettingsStore store_{dir_.filePath(QStringLiteral("settings.conf"))};
    FileDialogMemory memory_{store_};
};

TEST_F(FileDialogMemoryTest, FirstDialogsStartWithTheFirstFilter) {
    EXPECT_EQ(memory_.openDialogSetup().selectedFilter, QStringLiteral("ArchivDateien (*.ad)"));
    EXPECT_EQ(memory_.saveDialogSetup(true).selectedFilter,
              QStringLiteral("kvn-cad-Dateien (*.akt)"));
    EXPECT_TRUE(memory_.openDialogSetup().initialFile.isEmpty());
}

TEST_F(FileDialogMemoryTest, ChosenExtensionSelectsItsFilterNextTime) {
    memory_.acceptOpenChoice(QStringLiteral("/home/x/PLAN.AKT"));
    EXPECT_EQ(memory_.openDialogSetup().selectedFilter, QStringLiteral("Zeichnungen (*.akt)"));
    EXPECT_EQ(memory_.openDialogSetup().initialFile, QStringLiteral("/home/x/PLAN.AKT"));
    // the save dialog remembers its own pattern
    EXPECT_EQ(memory_.saveDialogSetup(false).selectedFilter,
              QStringLiteral("ArchivDateien (*.ad)"));

    memory_.acceptSaveChoice(QStringLiteral("/home/x/mappe.ad"));
    EXPECT_EQ(memory_.saveDialogSetup(false).selectedFilter,
              QStringLiteral("ArchivDateien (*.ad)"));
    EXPECT_EQ(memory_.saveDialogSetup(true).selectedFilter, QStringLiteral("ArchivDateien (*.ad)"));
    EXPECT_EQ(filterIndex(dialogFilters(DialogFilter::SaveWithDrawings),
                          store_.readStringSetting(kLastSavedExtensionValue)),
              2);

    // The pattern is kept in the settings, for the next run.
    FileDialogMemory nextRun(store_);
    EXPECT_EQ(nextRun.openDialogSetup().selectedFilter, QStringLiteral("Zeichnungen (*.akt)"));
}

TEST_F(FileDialogMemoryTest, FilesWithoutExtensionLeaveThePatternAlone) {
    memory_.acceptOpenChoice(QStringLiteral("/home/x/plan.zip"));
    memory_.acceptOpenChoice(QStringLiteral("/home/x.y/README"));
    EXPECT_EQ(store_.readStringSetting(kLastOpenedExtensionValue), QStringLiteral("*.zip"));
    EXPECT_EQ(memory_.lastFileName(), QStringLiteral("/home/x.y/README"));

    // A name typed without extension in the save dialog gets ".zip".
    EXPECT_EQ(memory_.acceptSaveChoice(QStringLiteral("/home/x.y/paket")),
              QStringLiteral("/home/x.y/paket.zip"));
    EXPECT_EQ(memory_.lastFileName(), QStringLiteral("/home/x.y/paket.zip"));
    EXPECT_EQ(memory_.saveDialogSetup(false).selectedFilter, QStringLiteral("Zip-Dateien (*.zip)"));
}

TEST(FileFilters, UnknownOrOddPatternsFallBackToTheFirstFilter) {
    const auto open = dialogFilters(DialogFilter::Open);
    EXPECT_EQ(filterIndex(open, std::nullopt), 1);
    EXPECT_EQ(filterIndex(open, QStringLiteral("*.dxf")), 1);
    EXPECT_EQ(filterIndex(open, QStringLiteral("*.ZIP")), 3);
    EXPECT_EQ(filterIndex(open, QStringLiteral("*.*")), 4);
    EXPECT_EQ(filterIndex(open, QStringLiteral("*.akt ")), 1);
}

TEST(FileFilters, DialogStringsListEveryFilterAndTheLastMatchesAllFiles) {
    const QStringList entries =
        qtFilterString(dialogFilters(DialogFilter::Open)).split(QStringLiteral(";;"));
    ASSERT_EQ(entries.size(), 4);
    EXPECT_EQ(entries[1], QStringLiteral("Zeichnungen (*.akt)"));
    EXPECT_EQ(entries[3], QStringLiteral("Alle Dateien (*)"));
    EXPECT_EQ(dialogFilters(DialogFilter::SaveWithoutDrawings).size(), 3u);
}
