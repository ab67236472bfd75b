// The document list column in the main window on the offscreen platform: listing drawings from
// the intake, showing, deleting and refreshing entries, the information dialog, archives saved
// and opened through the intake, and archives whose stored paths do not exist here.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>

#include <memory>
#include <vector>

#include "akt_writer.h"
#include "command_ids.h"
#include "document_list_widget.h"
#include "drawing_info_dialog.h"
#include "local_file_names.h"
#include "main_window.h"
#include "settings_store.h"
#include "test_files.h"

using namespace planora;

namespace {

QString example(const char* name) {
    return QStringLiteral(PLANORA_EXAMPLES_DIR "/") + QString::fromLatin1(name);
}

class DocumentListWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    MainWindow& makeWindow() {
        window_.reset();
        settings_ = std::make_unique<SettingsStore>(dir_.filePath(QStringLiteral("P.conf")));
        window_ = std::make_unique<MainWindow>(*settings_);
        window_->setMessageHandler([this](const MessageRequest& r) { messages_.push_back(r); });
        window_->resize(1000, 700);
        window_->show();
        QApplication::processEvents();
        return *window_;
    }

    QString copyExample(const char* name, const QString& as) {
        QFile source(example(name));
        EXPECT_TRUE(source.open(QIODevice::ReadOnly));
        return planora::testing::writeFile(as, source.readAll());
    }

    QString currentPath() const {
        return fileNameFromLocal(
            QByteArray::fromStdString(window_->viewerState().drawing.currentDrawingPath));
    }

    QString file(const QString& name) const { return dir_.filePath(name); }

    QTemporaryDir dir_;
    std::unique_ptr<SettingsStore> settings_;
    std::unique_ptr<MainWindow> window_;
    std::vector<MessageRequest> messages_;
};

QPoint placeOf(DocumentListWidget* list, int row) {
    return list->visualRect(list->model()->index(row, 0)).topLeft();
}

}  // namespace

TEST_F(DocumentListWindowTest, ShowingAnEntryOpensItWithoutListingItAgainAndDeleteLeavesAGap) {
    MainWindow& w = makeWindow();
    DocumentListWidget* list = w.documentListWidget();
    const QString a = example("haus-0700.akt");
    const QString b = example("haus-1800.akt");
    const QString c = example("haus-2500.akt");
    for (const QString& path : {a, b, c}) {
        ASSERT_EQ(w.openFile(path, true, true), 0);
    }
    QApplication::processEvents();
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("haus-1800.akt"));
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(placeOf(list, row), QPoint(10, 10 + row * (97 + 25))) << row;
        EXPECT_EQ(list->list().thumbnailOf(list->list().items()[row]).size(), QSize(122, 97));
    }
    // Nothing is current yet: the commands and a double click do nothing.
    w.executeCommand(CmdListShow);
    EXPECT_EQ(currentPath(), c);

    list->setCurrentRow(1);
    w.executeCommand(CmdListShow);
    EXPECT_EQ(currentPath(), b);
    EXPECT_EQ(list->count(), 3);  // shown, not listed again
    EXPECT_TRUE(messages_.empty());

    // Deleting the middle item keeps the last one where it was until the list is arranged.
    w.executeCommand(CmdListDelete);
    QApplication::processEvents();
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->currentEntryIndex(), -1);
    EXPECT_EQ(placeOf(list, 1), QPoint(10, 10 + 2 * (97 + 25)));
    w.executeCommand(CmdListShow);
    EXPECT_EQ(currentPath(), b);
    w.executeCommand(CmdCompactThumbnails);
    QApplication::processEvents();
    EXPECT_EQ(placeOf(list, 1), QPoint(10, 10 + 97 + 25));
    EXPECT_EQ(list->list().thumbnails().size(), 2u);
    EXPECT_EQ(list->list().items()[1].entry.path(), localFileName(c));
}

TEST_F(DocumentListWindowTest, SavedArchiveReopensThroughTheIntakeWithItsThumbnails) {
    MainWindow& w = makeWindow();
    DocumentListWidget* list = w.documentListWidget();
    ASSERT_EQ(w.openFile(example("haus-1100.akt"), true, true), 0);
    ASSERT_EQ(w.openFile(example("haus-2500.akt"), true, true), 0);
    const std::vector<QImage> before = list->list().thumbnails();

    const QString archive = file(QStringLiteral("liste.ad"));
    w.setSaveDialogRunner([&](const DialogSetup&) { return archive; });
    w.executeCommand(CmdSave);
    ASSERT_TRUE(messages_.empty()) << messages_[0].text.toStdString();
    ASSERT_TRUE(QFileInfo(archive).isFile());

    // A zip name packs the drawings instead of writing an archive.
    const QString zip = file(QStringLiteral("liste.zip"));
    w.setSaveDialogRunner([&](const DialogSetup&) { return zip; });
    w.executeCommand(CmdSave);
    EXPECT_TRUE(messages_.empty());
    QFile packed(zip);
    ASSERT_TRUE(packed.open(QIODevice::ReadOnly));
    EXPECT_TRUE(packed.read(4).startsWith("PK\x03\x04"));
    messages_.clear();

    w.executeCommand(CmdNew);
    EXPECT_EQ(list->count(), 0);
    ASSERT_EQ(w.openFile(example("haus-0510.akt"), true, true), 0);
    ASSERT_EQ(list->count(), 1);

    // Something that is not an archive leaves the list as it is.
    const QString broken = planora::testing::writeFile(file(QStringLiteral("kaputt.ad")), "x");
    EXPECT_EQ(w.openFile(broken, true, true), 0);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].text, QStringLiteral("Dateiformat zum Einlesen nicht geeignet!"));
    EXPECT_EQ(list->count(), 1);
    messages_.clear();

    EXPECT_EQ(w.openFile(archive, true, true), 0);
    EXPECT_TRUE(messages_.empty());
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("haus-2500.akt"));
    ASSERT_EQ(list->list().thumbnails().size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(list->list().thumbnails()[i].convertToFormat(QImage::Format_RGB32),
                  before[i].convertToFormat(QImage::Format_RGB32))
            << i;
    }
    EXPECT_EQ(w.recentFiles().entries().front().path, archive);
}

TEST_F(DocumentListWindowTest, MovedArchiveFindsDrawingsBesideItAndKeepsThumbnailsOfMissingOnes) {
    ASSERT_TRUE(QDir(dir_.path()).mkpath(QStringLiteral("alt")));
    ASSERT_TRUE(QDir(dir_.path()).mkpath(QStringLiteral("neu")));
    const QString original = copyExample("haus-1800.akt", file(QStringLiteral("alt/EG.akt")));
    const QString other = copyExample("haus-0700.akt", file(QStringLiteral("alt/OG.akt")));
    MainWindow& w = makeWindow();
    DocumentListWidget* list = w.documentListWidget();
    ASSERT_EQ(w.openFile(original, true, true), 0);
    ASSERT_EQ(w.openFile(other, true, true), 0);
    const QString archive = file(QStringLiteral("neu/mappe.ad"));
    w.setSaveDialogRunner([&](const DialogSetup&) { return archive; });
    w.executeCommand(CmdSave);
    ASSERT_TRUE(messages_.empty());

    // The drawings move next to the archive; the stored paths no longer exist.
    const QString moved = file(QStringLiteral("neu/EG.akt"));
    ASSERT_TRUE(QFile::rename(original, moved));
    ASSERT_TRUE(QFile::remove(other));
    ASSERT_EQ(w.openFile(archive, true, true), 0);
    const QByteArray archiveBytes = [&] {
        QFile f(archive);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();

    list->setCurrentRow(0);
    w.executeCommand(CmdListShow);
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(currentPath(), moved);

    // "&Aktualisieren" of an entry whose drawing is nowhere: says so, and the thumbnail is not
    // replaced by a picture of the drawing that happens to be loaded.
    const QImage oldThumbnail = list->list().thumbnailOf(list->list().items()[1]);
    list->setCurrentRow(1);
    w.executeCommand(CmdListRefresh);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(messages_[0].text.contains(QStringLiteral("nicht gefunden")));
    EXPECT_TRUE(messages_[0].text.contains(QStringLiteral("OG.akt")));
    EXPECT_EQ(list->list().thumbnailOf(list->list().items()[1]), oldThumbnail);
    EXPECT_EQ(currentPath(), moved);

    QFile f(archive);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), archiveBytes);  // the lookup writes nothing
}

TEST_F(DocumentListWindowTest, InformationShowsTheEntrysTextsAndRemarkLines) {
    akt::Drawing d;
    d.version = 2500;
    akt::addLine(d, 0, 0, 10, 5, akt::Attributes{1, 2, 1, 100});
    d.info[0] =
        "Schule S\xfc"
        "d";  // Windows-1252
    d.info[1] = "*";
    d.info[4] = "01.02.2010";
    d.info[10] =
        "*A\x06\x05"
        "B";
    d.info[11] =
        "C\x07"
        "D\x06"
        "E";
    d.info[12] = "F\x07G";
    d.info[13] = "nicht gezeigt";
    const QString path = file(QStringLiteral("info.akt"));
    ASSERT_TRUE(akt::writeDrawingFile(d, localFileName(path)));

    MainWindow& w = makeWindow();
    ASSERT_EQ(w.openFile(path, true, true), 0);
    QString project = QStringLiteral("(not shown)");
    QString building;
    QString date;
    QStringList lines;
    w.setInfoDialogRunner([&](DrawingInfoDialog& dialog) {
        project = dialog.fieldText(201);
        building = dialog.fieldText(202);
        date = dialog.fieldText(205);
        lines = dialog.remarkLines();
    });
    w.executeCommand(CmdListInformation);  // no current item: no dialog
    EXPECT_EQ(project, QStringLiteral("(not shown)"));

    w.documentListWidget()->setCurrentRow(0);
    w.executeCommand(CmdListInformation);
    EXPECT_EQ(project, QStringLiteral("Schule Süd"));
    EXPECT_EQ(building, QString());
    EXPECT_EQ(date, QStringLiteral("01.02.2010"));
    EXPECT_EQ(lines, (QStringList{"A", "B", "C", "D", "E", QStringLiteral("F\x07G")}));
}

TEST_F(DocumentListWindowTest, FiveHundredEntriesArrangeAndScrollQuickly) {
    MainWindow& w = makeWindow();
    DocumentListWidget* list = w.documentListWidget();
    ASSERT_EQ(w.openFile(example("haus-0510.akt"), true, true), 0);
    DocumentList& data = list->list();
    for (int i = 1; i < 500; ++i) {
        data.addDrawing(data.items()[0].entry.path(), w.viewerState().drawing,
                        w.viewerState().renderer);
    }
    QElapsedTimer timer;
    timer.start();
    list->rebuild();
    QApplication::processEvents();
    list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
    list->viewport()->repaint();
    QApplication::processEvents();
    const qint64 ms = timer.elapsed();
    std::printf("500 entries: rebuild, arrange and scroll to the end in %lld ms\n",
                static_cast<long long>(ms));
    EXPECT_EQ(list->count(), 500);
    EXPECT_EQ(placeOf(list, 499).y() + list->verticalScrollBar()->value(), 10 + 499 * 122);
    EXPECT_LT(ms, 1500);
}
