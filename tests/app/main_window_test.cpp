// The main window on the offscreen platform: menus and layout, the file intake with its messages,
// status fields and title, recent files and the window position across two windows, and the zoom
// commands wired to the graphics window.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <QWheelEvent>

#include <QProcess>
#include <QProcessEnvironment>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "akt_writer.h"
#include "graphics_window.h"
#include "local_file_names.h"
#include "main_window.h"
#include "recent_files.h"
#include "settings_store.h"
#include "status_line.h"
#include "status_texts.h"
#include "test_files.h"

using namespace planora;

namespace {

QString example(const char* name) {
    return QStringLiteral(PLANORA_EXAMPLES_DIR "/") + QString::fromLatin1(name);
}

// Opens a named pipe for writing after a few seconds, which ends a read that would block on it
// for ever; reports whether that was needed.
class PipeWatchdog {
  public:
    explicit PipeWatchdog(std::string fifo)
        : fifo_(std::move(fifo)), thread_([this] {
              for (int i = 0; i < 50 && !done_; ++i) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(100));
              }
              if (done_) {
                  return;
              }
              const int fd = ::open(fifo_.c_str(), O_WRONLY | O_NONBLOCK);
              if (fd >= 0) {
                  unblocked_ = true;  // someone was waiting for data
                  ::close(fd);
              }
          }) {}
    ~PipeWatchdog() { finish(); }
    bool finish() {
        done_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
        return unblocked_;
    }

  private:
    std::string fifo_;
    std::atomic<bool> done_{false};
    std::atomic<bool> unblocked_{false};
    std::thread thread_;
};

QStringList actionTexts(const QMenu* menu) {
    QStringList texts;
    for (const QAction* a : menu->actions()) {
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    }
    return texts;
}

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        settingsFile_ = dir_.filePath(QStringLiteral("Planora.conf"));
    }

    // A fresh window on the settings file, shown at a fixed size so the graphics window has room.
    MainWindow& makeWindow(bool show = true) {
        window_.reset();
        settings_ = std::make_unique<SettingsStore>(settingsFile_);
        window_ = std::make_unique<MainWindow>(*settings_);
        window_->setMessageHandler([this](const MessageRequest& r) { messages_.push_back(r); });
        if (show) {
            window_->resize(1000, 700);
            window_->show();
            QApplication::processEvents();
        }
        return *window_;
    }

    // Closes the window as the user would; the shutdown saves its settings.
    void closeWindow() {
        window_->close();
        window_.reset();
        settings_.reset();
    }

    // A copy of an example drawing in the temporary folder with the given last-write time.
    QString copyExample(const char* name, const QString& as, const QDateTime& time = {}) {
        QFile source(example(name));
        EXPECT_TRUE(source.open(QIODevice::ReadOnly));
        return planora::testing::writeFile(dir_.filePath(as), source.readAll(), time);
    }

    QString file(const QString& name) const { return dir_.filePath(name); }

    QTemporaryDir dir_;
    QString settingsFile_;
    std::unique_ptr<SettingsStore> settings_;
    std::unique_ptr<MainWindow> window_;
    std::vector<MessageRequest> messages_;
};

}  // namespace

TEST_F(MainWindowTest, MenusLayoutAndStatusLineAsTheProgramShowsThem) {
    MainWindow& w = makeWindow();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("KVN-CAD-Betrachter"));

    QStringList titles;
    for (const QAction* a : w.menuBar()->actions()) {
        titles << a->text();
    }
    EXPECT_EQ(titles, (QStringList{"&Datei", "&Zoom", "&Bearbeiten", "&Optionen", "&Messen"}));
    // Without recent files the list's separator alone stands before "E&xit".
    EXPECT_EQ(actionTexts(w.menu(QStringLiteral("&Datei"))),
              (QStringList{"&Neu", "&Öffnen", "&Speichern", "&Drucken", "&Exportieren ...", "-",
                           "&Info", "-", "E&xit"}));
    // The separator 519 is put before "Texte zeigen" at start.
    const QStringList measure = actionTexts(w.menu(QStringLiteral("&Messen")));
    ASSERT_GE(measure.size(), 3);
    EXPECT_EQ(measure.mid(measure.size() - 2), (QStringList{"-", "Texte zeigen"}));

    // What works is enabled; the items of areas still to come are greyed, and "Meßmodus
    // abschalten" until measuring is on.
    for (int id : {CmdOpen, CmdInfo, CmdExit, CmdZoomAll, CmdZoomWindow, CmdZoomPrevious,
                   CmdPrintDialog, CmdCopyToClipboard, CmdPenColours, CmdLayers,
                   CmdBackgroundColour, CmdSnapEndPoint, CmdSnapMidPoint, CmdSnapCentre,
                   CmdSnapIntersection, CmdShowTexts, CmdUnitCentimetre, CmdDecimals1}) {
        ASSERT_NE(w.commandAction(id), nullptr) << id;
        EXPECT_TRUE(w.commandAction(id)->isEnabled()) << id;
    }
    for (int id : {CmdEditWithDrawingProgram, CmdGeneralOptions}) {
        EXPECT_TRUE(w.commandAction(id)->isEnabled()) << id;
    }
    for (int id : {CmdNew, CmdSave}) {
        ASSERT_NE(w.commandAction(id), nullptr) << id;
        EXPECT_TRUE(w.commandAction(id)->isEnabled()) << id;
    }
    ASSERT_NE(w.commandAction(CmdMeasureOff), nullptr);
    EXPECT_FALSE(w.commandAction(CmdMeasureOff)->isEnabled());
    // Metre and three decimals are chosen at start.
    EXPECT_TRUE(w.commandAction(CmdUnitMetre)->isChecked());
    EXPECT_TRUE(w.commandAction(CmdDecimals3)->isChecked());
    EXPECT_FALSE(w.commandAction(CmdUnitMillimetre)->isChecked());

    // Layout: list column of 158 pixels, graphics window from x = 162, status line below both.
    const QRect client = w.centralWidget()->rect();
    EXPECT_EQ(w.documentListArea()->geometry(), w.documentListRect());
    EXPECT_EQ(w.documentListRect().width(), 158);
    EXPECT_EQ(w.graphicsWindow()->geometry().left(), 162);
    EXPECT_EQ(w.graphicsWindow()->geometry().right(), client.right());
    const QRect status = w.statusRect();
    EXPECT_EQ(status.bottom(), client.bottom());
    EXPECT_EQ(w.graphicsWindow()->geometry().bottom() + 1, status.top());
    EXPECT_GT(status.height(), 10);

    // The status parts end at 400, 520, 560, 670, 740 and the window's edge.
    auto* line = w.findChild<StatusLine*>();
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->partRect(1).left(), 400);
    EXPECT_EQ(line->partRect(2).left(), 520);
    EXPECT_EQ(line->partRect(5).left(), 740);
    EXPECT_LE(line->partRect(4).right(), 740);
    EXPECT_EQ(line->partRect(5).right(), line->width() - 1);
}

TEST_F(MainWindowTest, OpeningADrawingFillsStatusTitleRecentAndScaleMenus) {
    MainWindow& w = makeWindow();
    const QString path = copyExample("haus-2500.akt", "haus-2500.akt");
    const double scaleBefore = w.viewerState().view.currentScale();

    EXPECT_EQ(w.openFile(path, true, true), 0);
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(w.viewerState().drawingGeneration, 1u);
    EXPECT_NE(w.viewerState().view.currentScale(), scaleBefore) << "zoomed to the drawing";

    EXPECT_EQ(w.statusText(StatusFileNamePart), QStringLiteral("haus-2500.akt"));
    EXPECT_EQ(w.statusText(StatusFormatPart), statusFieldsForFile(path)->formatCode);
    const qint64 size = QFileInfo(path).size();
    ASSERT_GE(size, 10000);
    ASSERT_LT(size, 1000000);
    EXPECT_EQ(w.statusText(StatusSizePart),
              QString::asprintf("%.3f kb", static_cast<double>(size) / 1000.0));
    EXPECT_EQ(w.statusText(StatusDatePart),
              QFileInfo(path).lastModified().toUTC().toString(QStringLiteral("dd.MM.yyyy hh:mm")));
    // Eight layers, "Möblierung" switched off in the file, and its elements hidden.
    EXPECT_EQ(w.statusText(StatusLayerPart), QStringLiteral("Layer an: 7 von 8"));
    bool someHidden = false;
    for (const Element& e : w.viewerState().drawing.store.elements()) {
        someHidden |= !e.visible();
    }
    EXPECT_TRUE(someHidden);
    EXPECT_TRUE(w.statusText(StatusMessagePart).isEmpty());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("KVN-CAD-Betrachter")) << "title mode 0";

    // The recent-file entry sits between the separators before "E&xit".
    const QStringList file = actionTexts(w.menu(QStringLiteral("&Datei")));
    EXPECT_EQ(file.mid(file.size() - 4), (QStringList{"-", shortenPath(path), "-", "E&xit"}));

    // "Maßstab setzen" lists the drawing's scales with the first one chosen.
    QMenu* scales = w.menu(QStringLiteral("Maßstab setzen"));
    ASSERT_NE(scales, nullptr);
    std::set<QString> texts;
    for (const QAction* a : scales->actions()) {
        texts.insert(a->text());
    }
    EXPECT_EQ(texts, (std::set<QString>{"1:100", "1:50", "1:20"}));
    EXPECT_TRUE(w.commandAction(CmdScaleFirst)->isChecked());
    EXPECT_EQ(w.scaleDenominator(), w.commandAction(CmdScaleFirst)->data().toInt());
    const QStringList measure = actionTexts(w.menu(QStringLiteral("&Messen")));
    EXPECT_EQ(measure.mid(measure.size() - 3),
              (QStringList{"Maßstab setzen", "-", "Texte zeigen"}));

    // A second drawing replaces the menu rather than adding another one.
    EXPECT_EQ(w.openFile(copyExample("haus-0700.akt", "haus-0700.akt"), true, true), 0);
    EXPECT_EQ(actionTexts(w.menu(QStringLiteral("&Messen"))).count("Maßstab setzen"), 1);
    EXPECT_EQ(w.statusText(StatusFileNamePart), QStringLiteral("haus-0700.akt"));
}

TEST_F(MainWindowTest, TitleModesFromTheSettings) {
    const QString path = copyExample("haus-1100.akt", "haus-1100.akt");
    for (const auto& [mode, expected] :
         std::vector<std::pair<QString, QString>>{{"1", "KVN-CAD-Betrachter - haus-1100.akt"},
                                                  {"2", "KVN-CAD-Betrachter - " + path},
                                                  {"x", "KVN-CAD-Betrachter"}}) {
        {
            SettingsStore store(settingsFile_);
            store.writeStringSetting(QString::fromLatin1(kTitleModeValue), mode);
        }
        MainWindow& w = makeWindow(false);
        EXPECT_EQ(w.openFile(path, true, true), 0);
        EXPECT_EQ(w.windowTitle(), expected) << mode.toStdString();
    }
}

TEST_F(MainWindowTest, RejectedFilesAreCountedReportedAndExplained) {
    MainWindow& w = makeWindow();
    const QString good = copyExample("haus-1800.akt", "gut.akt");
    const QString text = planora::testing::writeFile(file("notiz.txt"), "nur Text\n");
    // A drawing whose header announces too much text fails with a message; one cut off after
    // its magic fails without one.
    akt::Drawing tooLong;
    tooLong.version = 1100;
    tooLong.info[0] = std::string(0x20001, 'a');
    const QString broken = file("kaputt.akt");
    ASSERT_TRUE(akt::writeDrawingFile(tooLong, QFile::encodeName(broken).toStdString()));
    const QString cut = planora::testing::writeFile(file("kurz.akt"), "KVN\x01\x02");

    // A single unknown file: counted, no box of its own.
    EXPECT_EQ(w.openFile(text, true, true), 1);
    EXPECT_TRUE(messages_.empty());

    EXPECT_EQ(w.openFileList({good, text, broken, cut}, true), 3);
    ASSERT_EQ(messages_.size(), 3u);
    EXPECT_EQ(messages_[0].caption, QStringLiteral("Achtung"));
    EXPECT_EQ(messages_[0].icon, QMessageBox::Warning);
    EXPECT_EQ(messages_[0].text,
              QStringLiteral("Einlesefehler:\nDatenfehler im Header (mehr als 128 kb Text)"));
    EXPECT_EQ(messages_[1].caption, QStringLiteral("Achtung"));
    EXPECT_EQ(messages_[1].icon, QMessageBox::Information);
    EXPECT_EQ(messages_[1].text, QStringLiteral("3 Dateien wurden abgelehnt!"));
    EXPECT_EQ(messages_[2].caption, QStringLiteral("Planora-Information"));
    EXPECT_EQ(messages_[2].icon, QMessageBox::Warning);
    EXPECT_TRUE(messages_[2].text.startsWith(
        QStringLiteral("3 Dateien wurden abgelehnt.\nPrüfen Sie, ob die Datei eine AKT-Datei "
                       "ist.\n")));
    // The good drawing stays shown after the failed one.
    EXPECT_EQ(w.statusText(StatusFileNamePart), QStringLiteral("gut.akt"));
    EXPECT_EQ(w.recentFiles().entries().size(), 1u);

    messages_.clear();
    EXPECT_EQ(w.openFileList({text}, false), 1);
    ASSERT_EQ(messages_.size(), 2u);
    EXPECT_EQ(messages_[0].text, QStringLiteral("Eine Datei wurde abgelehnt!"));
    EXPECT_TRUE(messages_[1].text.startsWith(QStringLiteral("Eine Datei wurde abgelehnt.\n")));
}

TEST_F(MainWindowTest, DroppedFilesOpenWithOnlyTheExplanationForRejections) {
    MainWindow& w = makeWindow();
    const QString a = copyExample("haus-0510.akt", "a.akt");
    const QString b = copyExample("haus-2500.akt", "b.akt");
    const QString text = planora::testing::writeFile(file("liesmich.txt"), "Text");

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(text), QUrl::fromLocalFile(b),
                  QUrl(QStringLiteral("https://example.invalid/c.akt"))});
    QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &drop);

    ASSERT_EQ(messages_.size(), 1u) << "no \"abgelehnt!\" box for drops";
    EXPECT_EQ(messages_[0].caption, QStringLiteral("Planora-Information"));
    EXPECT_TRUE(messages_[0].text.startsWith(QStringLiteral("Eine Datei wurde abgelehnt.\n")));
    EXPECT_EQ(w.statusText(StatusFileNamePart), QStringLiteral("b.akt"));
    ASSERT_EQ(w.recentFiles().entries().size(), 2u);
    EXPECT_EQ(w.recentFiles().entries()[0].path, b);

    // Only remote addresses: nothing to accept.
    QMimeData remote;
    remote.setUrls({QUrl(QStringLiteral("https://example.invalid/d.akt"))});
    QDragEnterEvent enterRemote(QPoint(300, 200), Qt::CopyAction, &remote, Qt::LeftButton,
                                Qt::NoModifier);
    QApplication::sendEvent(&w, &enterRemote);
    EXPECT_FALSE(enterRemote.isAccepted());
}

TEST_F(MainWindowTest, DamagedZipFileIsReportedAndNotRemembered) {
    MainWindow& w = makeWindow();
    const QString zip = planora::testing::writeFile(file("plaene.zip"), "PK\x03\x04");
    for (const QString& path : {zip}) {
        messages_.clear();
        EXPECT_EQ(w.openFile(path, true, true), 0) << path.toStdString();
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_EQ(messages_[0].caption, QStringLiteral("Planora: Zip-Fehler"));
        EXPECT_TRUE(messages_[0].text.contains(path));
    }
    EXPECT_TRUE(w.recentFiles().entries().empty());
}

TEST_F(MainWindowTest, DamagedDrawingShowsItsWarningInTheFirstStatusPart) {
    akt::Drawing d;
    d.version = 700;
    akt::addLine(d, 0, 0, 10, 5, akt::Attributes{1, 2, 1, 100});
    const QString damaged = file("defekt.akt");
    ASSERT_TRUE(akt::writeDrawingFile(d, QFile::encodeName(damaged).toStdString()));

    MainWindow& w = makeWindow();
    EXPECT_EQ(w.openFileList({damaged}, true), 0);
    EXPECT_TRUE(messages_.empty());
    EXPECT_TRUE(w.statusText(StatusMessagePart).startsWith(QStringLiteral("Datei ist defekt: ")))
        << w.statusText(StatusMessagePart).toStdString();

    // The next sound drawing clears it.
    EXPECT_EQ(w.openFile(copyExample("haus-0700.akt", "gut.akt"), true, true), 0);
    EXPECT_TRUE(w.statusText(StatusMessagePart).isEmpty());
}

TEST_F(MainWindowTest, RecentFilesAndWindowPositionSurviveTheNextStart) {
    const QDateTime older = QDateTime::currentDateTimeUtc().addDays(-2);
    const QDateTime newer = QDateTime::currentDateTimeUtc().addDays(-1);
    // a is opened first but was written later than b.
    const QString a = copyExample("haus-1100.akt", "zuerst.akt", newer);
    const QString b = copyExample("haus-1800.akt", "danach.akt", older);
    {
        SettingsStore store(settingsFile_);
        store.saveWindowPosition(WindowRect{10, 20, 810, 620});
    }

    MainWindow& first = makeWindow(false);
    EXPECT_EQ(first.pos(), QPoint(10, 20));
    EXPECT_EQ(first.size(), QSize(800, 600));
    first.show();
    first.move(30, 40);
    first.resize(700, 500);
    QApplication::processEvents();
    ASSERT_EQ(first.openFile(a, true, true), 0);
    ASSERT_EQ(first.openFile(b, true, true), 0);
    closeWindow();

    {
        SettingsStore store(settingsFile_);
        EXPECT_EQ(store.readStringSetting(recentValueName(0)), b);
        EXPECT_EQ(store.readStringSetting(recentValueName(1)), a);
        const auto geometry = store.loadWindowPosition();
        ASSERT_TRUE(geometry.has_value());
        EXPECT_EQ(*geometry, (WindowGeometry{30, 40, 700, 500}));
    }

    // At the next start the entries are ordered by their files' times: a is newer.
    MainWindow& second = makeWindow(false);
    EXPECT_EQ(second.pos(), QPoint(30, 40));
    EXPECT_EQ(second.size(), QSize(700, 500));
    const QStringList file = actionTexts(second.menu(QStringLiteral("&Datei")));
    EXPECT_EQ(file.mid(file.size() - 5),
              (QStringList{"-", shortenPath(a), shortenPath(b), "-", "E&xit"}));

    // Choosing an entry opens its drawing.
    second.commandAction(CmdRecentFirst + 1)->trigger();
    EXPECT_EQ(second.statusText(StatusFileNamePart), QStringLiteral("danach.akt"));
    EXPECT_EQ(second.recentFiles().entries().front().path, b);

    // An entry whose file has gone is explained when chosen.
    QFile::remove(a);
    messages_.clear();
    second.executeCommand(CmdRecentFirst + 1);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].caption, QStringLiteral("Planora-Information"));
}

TEST_F(MainWindowTest, MinimizedWindowKeepsTheStoredPosition) {
    {
        SettingsStore store(settingsFile_);
        store.saveWindowPosition(WindowRect{10, 20, 810, 620});
    }
    MainWindow& w = makeWindow();
    w.move(100, 100);
    w.showMinimized();
    QApplication::processEvents();
    if (!w.isMinimized()) {
        GTEST_SKIP() << "this platform does not minimize windows";
    }
    closeWindow();
    SettingsStore store(settingsFile_);
    EXPECT_EQ(store.loadWindowPosition(), (WindowGeometry{10, 20, 800, 600}));
}

TEST_F(MainWindowTest, ZoomCommandsAndTheWheelChangeTheView) {
    MainWindow& w = makeWindow();
    ASSERT_EQ(w.openFile(copyExample("haus-2500.akt", "haus.akt"), true, true), 0);
    const View& view = w.viewerState().view;
    const ViewTransform all = view.currentView();

    // A wheel turn away from the user over the status line zooms in about the cursor.
    const QPoint over = w.mapToGlobal(w.graphicsWindow()->geometry().center());
    QWheelEvent wheel(QPointF(5, 5), QPointF(over), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&w, &wheel);
    EXPECT_GT(view.currentScale(), all.scale * 1.2);

    w.executeCommand(CmdZoomAll);
    EXPECT_EQ(view.currentView(), all);
    w.executeCommand(CmdZoomPrevious);
    EXPECT_NE(view.currentView(), all);

    // "&Fenster" starts the zoom window with its prompt in the first status part.
    w.commandAction(CmdZoomWindow)->trigger();
    EXPECT_TRUE(w.graphicsWindow()->zoomWindowActive());
    EXPECT_FALSE(w.statusText(StatusMessagePart).isEmpty());
}

TEST_F(MainWindowTest, MeasuringMarksAndRadioGroups) {
    MainWindow& w = makeWindow();
    w.executeCommand(CmdShowTexts);
    EXPECT_TRUE(w.commandAction(CmdShowTexts)->isChecked());
    EXPECT_TRUE(w.measureMarks().offEnabled);
    w.executeCommand(CmdSnapCentre);
    EXPECT_FALSE(w.commandAction(CmdShowTexts)->isChecked());
    EXPECT_TRUE(w.commandAction(CmdSnapCentre)->isChecked());

    // Opening a drawing ends the measuring mode.
    ASSERT_EQ(w.openFile(copyExample("haus-1800.akt", "haus.akt"), true, true), 0);
    EXPECT_EQ(w.measureMarks().checked, 0);
    EXPECT_FALSE(w.commandAction(CmdSnapCentre)->isChecked());

    w.executeCommand(CmdUnitMillimetre);
    EXPECT_TRUE(w.commandAction(CmdUnitMillimetre)->isChecked());
    EXPECT_FALSE(w.commandAction(CmdUnitMetre)->isChecked());
    EXPECT_DOUBLE_EQ(w.unitFactor(), 10.0);
    w.executeCommand(CmdDecimals0);
    EXPECT_EQ(w.decimals(), 0);
    EXPECT_FALSE(w.commandAction(CmdDecimals3)->isChecked());
}

TEST_F(MainWindowTest, AboutBoxShowsTheBuildVersion) {
    MainWindow& w = makeWindow();
    w.executeCommand(CmdInfo);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].caption, QStringLiteral("Programm Information"));
    EXPECT_EQ(messages_[0].icon, QMessageBox::Information);
    EXPECT_TRUE(messages_[0].text.startsWith(
        QStringLiteral("KVN-CAD-Betrachter Version " PLANORA_VERSION "\n")));
    EXPECT_TRUE(messages_[0].text.contains(QStringLiteral("den älteren V10.0 - 21.0\n")));
}

TEST_F(MainWindowTest, FifoIsRejectedAtOnceInEveryIntakePath) {
    const QString fifo = file("leitung.akt");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString good = copyExample("haus-1800.akt", "gut.akt");
    {
        SettingsStore store(settingsFile_);
        store.writeStringSetting(recentValueName(0), fifo);
        store.writeStringSetting(recentValueName(1), good);
    }
    PipeWatchdog watchdog(QFile::encodeName(fifo).toStdString());

    // The start checks the recent entries without opening them: the pipe is left out, the
    // drawing after it stays.
    MainWindow& w = makeWindow();
    ASSERT_EQ(w.recentFiles().entries().size(), 1u);
    EXPECT_EQ(w.recentFiles().entries()[0].path, good);

    // Open command, command line and drop: each rejects the pipe with its reason.
    const QString reason = QStringLiteral("Einlesefehler:\n%1 ist keine reguläre Datei").arg(fifo);
    EXPECT_EQ(w.openFile(fifo, true, true), 1);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].text, reason);
    messages_.clear();
    w.setCommandLineFiles({fifo});
    w.executeCommand(CmdOpenCommandLineFiles);
    ASSERT_FALSE(messages_.empty());
    EXPECT_EQ(messages_[0].text, reason);
    messages_.clear();
    w.handleDroppedFiles({fifo, dir_.path()});
    ASSERT_EQ(messages_.size(), 3u);
    EXPECT_EQ(messages_[0].text, reason);
    EXPECT_EQ(messages_[1].text,
              QStringLiteral("Einlesefehler:\n%1 ist keine reguläre Datei").arg(dir_.path()));
    EXPECT_FALSE(watchdog.finish()) << "a read of the pipe blocked";
    EXPECT_EQ(w.recentFiles().entries().size(), 1u);
}

TEST_F(MainWindowTest, HugeStoredWindowIsClampedToScreen) {
    {
        SettingsStore store(settingsFile_);
        store.saveWindowPosition(WindowRect{0, 0, 1 << 30, 1 << 30});
    }
    MainWindow& w = makeWindow(false);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(w.width(), area.width());
    EXPECT_LE(w.height(), area.height());
    EXPECT_GT(w.width(), 0);
    EXPECT_EQ(w.pos(), QPoint(0, 0));
}

TEST_F(MainWindowTest, NonUtf8NameOpensInEveryIntakePath) {
    // "Grundriß.akt" as an old Windows share spells it: Latin-1, not UTF-8.
    const QByteArray folder = QFile::encodeName(dir_.path());
    const QByteArray bytes = folder + "/Grundri\xdf.akt";
    {
        QFile source(example("haus-1800.akt"));
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        const QByteArray content = source.readAll();
        std::FILE* out = std::fopen(bytes.constData(), "wb");
        ASSERT_NE(out, nullptr);
        ASSERT_EQ(std::fwrite(content.constData(), 1, content.size(), out),
                  static_cast<std::size_t>(content.size()));
        ASSERT_EQ(std::fclose(out), 0);
    }
    MainWindow& w = makeWindow();

    // The command line: the bytes of the argument.
    const QString fromArgument = fileNameFromLocal(bytes);
    EXPECT_EQ(localFileName(fromArgument), bytes.toStdString());
    EXPECT_EQ(w.openFile(fromArgument, true, true), 0);
    EXPECT_EQ(w.statusText(StatusFileNamePart),
              fromArgument.mid(fromArgument.lastIndexOf(u'/') + 1));
    EXPECT_EQ(w.statusText(StatusSizePart), statusFieldsForFile(fromArgument)->size);

    // The open dialog gives the name as Qt reads the folder, with the byte lost.
    const QString fromDialog = QFile::decodeName(bytes);
    ASSERT_NE(fromDialog, fromArgument);
    EXPECT_EQ(resolveLossyFileName(fromDialog), fromArgument);

    // A drop names it percent-encoded.
    const QString other = copyExample("haus-0700.akt", "anders.akt");
    ASSERT_EQ(w.openFile(other, true, true), 0);
    QMimeData mime;
    mime.setUrls(
        {QUrl::fromEncoded("file://" + QUrl::toPercentEncoding(QString::fromLatin1(folder), "/") +
                           "/Grundri%DF.akt")});
    QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &drop);
    EXPECT_TRUE(messages_.empty());
    ASSERT_FALSE(w.recentFiles().entries().empty());
    EXPECT_EQ(w.recentFiles().entries()[0].path, fromArgument);

    // The recent entry survives the next start and opens again.
    closeWindow();
    MainWindow& next = makeWindow();
    const auto& entries = next.recentFiles().entries();
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [&](const RecentEntry& e) { return e.path == fromArgument; });
    ASSERT_NE(found, entries.end());
    next.executeCommand(CmdRecentFirst + static_cast<int>(found - entries.begin()));
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(next.viewerState().drawing.currentDrawingPath, bytes.toStdString());
    closeWindow();
    ::unlink(bytes.constData());  // Qt cannot name it to remove the folder
}

#ifdef PLANORA_PROGRAM
TEST(PrintToRun, PrintToWithoutDisplayReportsOnStderr) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fifo = dir.filePath(QStringLiteral("leitung.akt"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    PipeWatchdog watchdog(QFile::encodeName(fifo).toStdString());

    struct Case {
        QStringList arguments;
        QString platform;  // empty: no display and no platform asked for
        QString expected;
    };
    const Case cases[] = {
        {{QStringLiteral("/printto"), dir.filePath(QStringLiteral("fehlt.akt")),
          QStringLiteral("Drucker")},
         QString(),
         QStringLiteral("Dateieinlesefehler")},
        {{QStringLiteral("/printto"), fifo, QStringLiteral("Drucker")},
         QStringLiteral("offscreen"),
         QStringLiteral("ist keine reguläre Datei")},
        {{QStringLiteral("/printto"), QStringLiteral(PLANORA_EXAMPLES_DIR "/haus-1800.akt"),
          QStringLiteral("Planora-kein-Drucker-7f3a")},
         QStringLiteral("minimal"),
         QStringLiteral("Druck konnte nicht gestartet werden")},
        {{QStringLiteral("/printto")},
         QStringLiteral("offscreen"),
         QStringLiteral("Installationsfehler")},
    };
    for (const Case& c : cases) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        if (!c.platform.isEmpty()) {
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), c.platform);
        }
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(PLANORA_PROGRAM), c.arguments);
        ASSERT_TRUE(program.waitForStarted());
        const bool ended = program.waitForFinished(20000);
        if (!ended) {
            program.kill();
            program.waitForFinished();
        }
        const QString err = QString::fromUtf8(program.readAllStandardError());
        EXPECT_TRUE(ended) << "waits where no one can answer: "
                           << c.arguments.join(' ').toStdString();
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << err.toStdString();
        EXPECT_NE(program.exitCode(), 0) << err.toStdString();
        EXPECT_TRUE(err.contains(c.expected)) << err.toStdString();
    }
    EXPECT_FALSE(watchdog.finish()) << "a read of the pipe blocked";
}
#endif
