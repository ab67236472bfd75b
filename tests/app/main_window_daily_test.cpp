// The main window as it is used every day: keys for the commands, loads that run while the
// window answers input, message boxes that keep their line breaks and the file name part of the
// status line.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>
#include <memory>
#include <vector>

#include "colour_dialog.h"
#include "command_ids.h"
#include "document_list_widget.h"
#include "drawing_read.h"
#include "graphics_window.h"
#include "main_window.h"
#include "message_box_layout.h"
#include "pen_colours.h"
#include "settings_store.h"
#include "status_line.h"
#include "status_texts.h"
#include "test_files.h"

using namespace planora;

namespace {

QString example(const char* name) {
    return QStringLiteral(PLANORA_EXAMPLES_DIR "/") + QString::fromLatin1(name);
}

QStringList actionTexts(const QMenu* menu) {
    QStringList texts;
    for (const QAction* a : menu->actions()) {
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    }
    return texts;
}

class DailyUseTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    MainWindow& makeWindow() {
        settings_ = std::make_unique<SettingsStore>(dir_.filePath(QStringLiteral("Planora.conf")));
        window_ = std::make_unique<MainWindow>(*settings_);
        window_->setMessageHandler([this](const MessageRequest& r) { messages_.push_back(r); });
        window_->resize(1000, 700);
        window_->show();
        window_->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window_.get()));
        return *window_;
    }

    QString copyExample(const char* name, const QString& as) {
        QFile source(example(name));
        EXPECT_TRUE(source.open(QIODevice::ReadOnly));
        return planora::testing::writeFile(dir_.filePath(as), source.readAll());
    }

    // What a user sees of the window and its drawing.
    struct Seen {
        std::vector<QString> status;
        QString title;
        ViewTransform view;
        std::string drawingPath;
        std::uint64_t generation = 0;
        std::size_t recentCount = 0;

        bool operator==(const Seen&) const = default;
    };
    Seen seen(MainWindow& w) {
        Seen s;
        for (int part = 0; part < StatusLine::kParts; ++part) {
            s.status.push_back(w.statusText(part));
        }
        s.title = w.windowTitle();
        s.view = w.viewerState().view.displayedView();
        s.drawingPath = w.viewerState().drawing.currentDrawingPath;
        s.generation = w.viewerState().drawingGeneration;
        s.recentCount = w.recentFiles().entries().size();
        return s;
    }

    QTemporaryDir dir_;
    std::unique_ptr<SettingsStore> settings_;
    std::unique_ptr<MainWindow> window_;
    std::vector<MessageRequest> messages_;
};

// The drawing point at the window's centre.
WorldPoint centreOf(MainWindow& w) {
    const GraphicsWindow* g = w.graphicsWindow();
    return deviceToWorld(w.viewerState().view.currentView(), g->width() / 2, g->height() / 2);
}

}  // namespace

TEST_F(DailyUseTest, KeysRunTheirCommandsAndMenuTextsStayAsTheyWere) {
    MainWindow& w = makeWindow();
    EXPECT_EQ(actionTexts(w.menu(QStringLiteral("&Datei"))).mid(0, 5),
              (QStringList{"&Neu", "&Öffnen", "&Speichern", "&Drucken", "&Exportieren ..."}));
    EXPECT_EQ(actionTexts(w.menu(QStringLiteral("&Zoom"))),
              (QStringList{"&Alles", "&Fenster", "&Vorher"}));
    ASSERT_EQ(w.openFile(copyExample("haus-1800.akt", QStringLiteral("a.akt")), false, false), 0);
    const ViewTransform all = w.viewerState().view.currentView();
    GraphicsWindow* g = w.graphicsWindow();

    // "+" and "-" zoom about the centre by the wheel's factors.
    const WorldPoint centre = centreOf(w);
    View expected = w.viewerState().view;
    expected.zoomAtPoint(g->width(), g->height(), g->width() / 2, g->height() / 2, 1.25);
    QTest::keyClick(&w, Qt::Key_Plus);
    EXPECT_EQ(w.viewerState().view.currentView(), expected.currentView());
    EXPECT_GT(w.viewerState().view.currentView().scale, all.scale * 1.2);
    EXPECT_NEAR(centreOf(w).x, centre.x, 2 / all.scale);
    EXPECT_NEAR(centreOf(w).y, centre.y, 2 / all.scale);
    expected.zoomAtPoint(g->width(), g->height(), g->width() / 2, g->height() / 2, 0.8);
    QTest::keyClick(&w, Qt::Key_Minus);
    EXPECT_EQ(w.viewerState().view.currentView(), expected.currentView());

    // Arrows pan by the step of a Ctrl + click at that edge.
    expected = w.viewerState().view;
    expected.panStep(g->width(), g->height(), 0, g->height() / 2);
    QTest::keyClick(&w, Qt::Key_Left);
    EXPECT_EQ(w.viewerState().view.currentView(), expected.currentView());
    expected.panStep(g->width(), g->height(), g->width() / 2, g->height() - 1);
    QTest::keyClick(&w, Qt::Key_Down);
    EXPECT_EQ(w.viewerState().view.currentView(), expected.currentView());

    // Backspace is "&Vorher", Home and Ctrl+0 are "&Alles".
    const ViewTransform beforeDown = w.viewerState().view.currentView();
    QTest::keyClick(&w, Qt::Key_Backspace);
    EXPECT_NE(w.viewerState().view.currentView(), beforeDown);
    QTest::keyClick(&w, Qt::Key_Home);
    EXPECT_EQ(w.viewerState().view.currentView(), all);
    QTest::keyClick(&w, Qt::Key_Plus);
    QTest::keyClick(&w, Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(w.viewerState().view.currentView(), all);

    // Esc ends a zoom window in progress, and with it its prompt.
    w.executeCommand(CmdZoomWindow);
    ASSERT_TRUE(g->zoomWindowActive());
    ASSERT_FALSE(w.statusText(StatusMessagePart).isEmpty());
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_FALSE(g->zoomWindowActive());
    EXPECT_TRUE(w.statusText(StatusMessagePart).isEmpty());
    // ... and the measuring mode, with its menu marks.
    w.executeCommand(CmdShowTexts);
    ASSERT_TRUE(w.measureMarks().isChecked(CmdShowTexts));
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_FALSE(w.measureMarks().isChecked(CmdShowTexts));
    EXPECT_FALSE(w.commandAction(CmdMeasureOff)->isEnabled());

    // Ctrl+P asks for a printer, Ctrl+C copies the view, Ctrl+O shows the open dialog.
    int printDialogs = 0;
    PrintHooks hooks;
    hooks.runDialog = [&](QPrinter&, QWidget*) {
        ++printDialogs;
        return false;
    };
    w.setPrintHooks(hooks);
    QTest::keyClick(&w, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(printDialogs, 1);
    QApplication::clipboard()->clear();
    QTest::keyClick(&w, Qt::Key_C, Qt::ControlModifier);
    EXPECT_FALSE(QApplication::clipboard()->image().isNull());
    bool openDialogShown = false;
    QTimer::singleShot(50, [&] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            openDialogShown = true;
            dialog->close();
        }
    });
    QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier);
    EXPECT_TRUE(openDialogShown);
    EXPECT_EQ(w.commandAction(CmdOpen)->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));

    // Ctrl+Q ends the program's window.
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(w.isVisible());
}

TEST_F(DailyUseTest, CancelledBackgroundLoadLeavesDrawingViewAndStatusAsTheyWere) {
    MainWindow& w = makeWindow();
    const QString a = copyExample("haus-1800.akt", QStringLiteral("alt.akt"));
    const QString b = copyExample("haus-2500.akt", QStringLiteral("neu.akt"));
    ASSERT_EQ(w.openFile(a, false, false), 0);
    QTest::keyClick(&w, Qt::Key_Plus);  // a view of the user's own
    w.setStatusText(StatusMessagePart, QStringLiteral("vorher"));
    const Seen before = seen(w);

    w.setBackgroundLoadDelay(0);
    int started = 0;
    bool intakeGreyed = false;
    QString progressText;
    const auto connection =
        QObject::connect(&w, &MainWindow::backgroundLoadStarted, [&](const QString& path) {
            ++started;
            EXPECT_EQ(path, b);
            EXPECT_TRUE(w.loadInProgress());
            intakeGreyed = !w.commandAction(CmdOpen)->isEnabled();
            progressText = w.statusText(StatusMessagePart);
            // The old drawing is still there and answers input.
            EXPECT_EQ(w.viewerState().drawing.currentDrawingPath, before.drawingPath);
            QTest::keyClick(&w, Qt::Key_Escape);
        });
    EXPECT_EQ(w.openFile(b, false, true), 0);
    EXPECT_EQ(started, 1);
    EXPECT_TRUE(intakeGreyed);
    EXPECT_TRUE(progressText.startsWith(QStringLiteral("Lade neu.akt … ")))
        << progressText.toStdString();
    EXPECT_FALSE(w.loadInProgress());
    EXPECT_TRUE(seen(w) == before);
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(w.commandAction(CmdOpen)->isEnabled());
    EXPECT_EQ(w.documentListWidget()->list().items().size(), 0u);

    // Without Esc the background load completes and replaces the drawing.
    QObject::disconnect(connection);
    EXPECT_EQ(w.openFile(b, false, false), 0);
    EXPECT_EQ(w.statusText(StatusFileNamePart), QStringLiteral("neu.akt"));
    EXPECT_EQ(w.viewerState().drawingGeneration, before.generation + 1);
}

TEST_F(DailyUseTest, BackgroundLoadErrorShowsTheSameMessageAsBefore) {
    MainWindow& w = makeWindow();
    // A version 1800 header whose first drawing information text claims 2 GB.
    QByteArray bytes;
    {
        QFile source(example("haus-1800.akt"));
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        bytes = source.read(8 + 20 * 8);
    }
    bytes.append("\xff\xff\xff\x7f", 4);
    const QString bad =
        planora::testing::writeFile(dir_.filePath(QStringLiteral("bad.akt")), bytes);

    w.setBackgroundLoadDelay(-1);
    EXPECT_EQ(w.openFile(bad, false, false), 1);
    ASSERT_EQ(messages_.size(), 1u);
    const MessageRequest direct = messages_[0];
    EXPECT_TRUE(direct.text.startsWith(QStringLiteral("Einlesefehler:\n")));

    messages_.clear();
    w.setBackgroundLoadDelay(0);
    int started = 0;
    QObject::connect(&w, &MainWindow::backgroundLoadStarted, [&] { ++started; });
    EXPECT_EQ(w.openFile(bad, false, false), 1);
    EXPECT_EQ(started, 1);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].text, direct.text);
    EXPECT_EQ(messages_[0].caption, direct.caption);
    EXPECT_EQ(messages_[0].icon, direct.icon);
}

// The read the program begins at its start, before the window exists, serves the first open of
// its own file only: another file opened first is read itself, and a later open of the same file
// reads it as it is then. It is never begun on a folder or a named pipe, which would block it.
TEST_F(DailyUseTest, ReadBegunAtTheStartServesOnlyTheFirstOpenOfItsOwnFile) {
    MainWindow& w = makeWindow();
    const QString a = copyExample("haus-1800.akt", QStringLiteral("a.akt"));
    const QString b = copyExample("haus-2500.akt", QStringLiteral("b.akt"));
    const QString fifo = dir_.filePath(QStringLiteral("rohr.akt"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(DrawingRead::startForCommandLine({fifo, a}), nullptr);
    EXPECT_EQ(DrawingRead::startForCommandLine({dir_.path()}), nullptr);
    EXPECT_EQ(DrawingRead::startForCommandLine({}), nullptr);

    auto versionOf = [&](const QString& path) {
        EXPECT_EQ(w.openFile(path, false, false), 0);
        EXPECT_EQ(w.viewerState().drawing.currentDrawingPath,
                  QFile::encodeName(path).toStdString());
        return w.viewerState().drawing.version;
    };
    const int versionA = versionOf(a);
    const int versionB = versionOf(b);
    ASSERT_NE(versionA, versionB);

    w.setStartedRead(DrawingRead::startForCommandLine({a, b}));
    EXPECT_EQ(versionOf(b), versionB);
    EXPECT_EQ(versionOf(a), versionA);

    w.setStartedRead(DrawingRead::startForCommandLine({a}));
    EXPECT_EQ(versionOf(a), versionA);
    QFile::remove(a);
    ASSERT_TRUE(QFile::copy(b, a));
    EXPECT_EQ(versionOf(a), versionB);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(DailyUseTest, MessageBoxesAreNotWrappedASecondTime) {
    // The longest texts of the program, each with its own line breaks.
    const QString texts[] = {QString::fromUtf8(kFirstStartQuestion),
                             QString::fromUtf8(kDuplicatePensMessage)};
    for (const QString& text : texts) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Achtung"), text, QMessageBox::Ok);
        keepLineBreaks(box);
        box.show();
        QApplication::processEvents();
        const auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        ASSERT_NE(label, nullptr);
        const QFontMetrics metrics(label->font());
        const int room = label->contentsRect().width();
        for (const QString& line : text.split(QLatin1Char('\n'))) {
            EXPECT_LE(metrics.horizontalAdvance(line), room) << line.toStdString();
        }
        EXPECT_LE(box.width(), box.screen()->availableGeometry().width());
        box.close();
    }
}

TEST_F(DailyUseTest, LongFileNameIsCutWithItsFullNameAsTooltipAndMeasureOffClearsTexts) {
    MainWindow& w = makeWindow();
    const QString longName =
        QStringLiteral("Erdgeschoss-Grundriss-Variante-mit-sehr-langem-Namen-2026.akt");
    ASSERT_EQ(w.openFile(copyExample("haus-1800.akt", longName), false, false), 0);
    const auto* part = w.findChild<QLabel*>(QStringLiteral("StatusPart1"));
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(w.statusText(StatusFileNamePart), longName);
    EXPECT_TRUE(part->text().endsWith(QChar(0x2026))) << part->text().toStdString();
    EXPECT_LE(part->fontMetrics().horizontalAdvance(part->text()), part->contentsRect().width());
    EXPECT_EQ(part->toolTip(), longName);

    // A short name is shown whole, without a tooltip.
    ASSERT_EQ(w.openFile(copyExample("haus-1800.akt", QStringLiteral("kurz.akt")), false, false),
              0);
    EXPECT_EQ(part->text(), QStringLiteral("kurz.akt"));
    EXPECT_TRUE(part->toolTip().isEmpty());

    // A text shown while measuring goes when the measuring mode is switched off.
    w.executeCommand(CmdShowTexts);
    GraphicsWindow* g = w.graphicsWindow();
    QString shown;
    for (int y = 0; y < g->height() && shown.isEmpty(); y += 8) {
        for (int x = 0; x < g->width() && shown.isEmpty(); x += 8) {
            QTest::mouseMove(g, QPoint(x, y));
            shown = w.statusText(StatusMessagePart);
        }
    }
    ASSERT_FALSE(shown.isEmpty()) << "no text found under the cursor";
    w.executeCommand(CmdMeasureOff);
    EXPECT_TRUE(w.statusText(StatusMessagePart).isEmpty());
}

// Run with QT_SCALE_FACTOR=1.5: the stored position and size are device pixels, so a window
// stored at 1000 x 700 opens at two thirds of that in window pixels, never larger than the
// screen, and is stored back in device pixels.
TEST_F(DailyUseTest, StoredWindowSizeCountsDevicePixelsAtAScaleFactor) {
    const qreal ratio = QGuiApplication::primaryScreen()->devicePixelRatio();
    if (ratio != 1.5) {
        GTEST_SKIP() << "runs with QT_SCALE_FACTOR=1.5 (ratio here " << ratio << ")";
    }
    const QString conf = dir_.filePath(QStringLiteral("Planora.conf"));
    {
        SettingsStore store(conf);
        store.saveWindowPosition(WindowRect{0, 0, 1000, 700});
    }
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    {
        SettingsStore store(conf);
        MainWindow w(store);
        EXPECT_EQ(w.size(), QSize(1000 * 2 / 3, 700 * 2 / 3).boundedTo(area.size()));
        w.show();
        QApplication::processEvents();
        EXPECT_LE(w.frameGeometry().width(), area.width());
        EXPECT_LE(w.frameGeometry().height(), area.height());
        w.move(area.topLeft() + QPoint(20, 10));
        w.resize(300, 200);
        QApplication::processEvents();
        w.close();
    }
    SettingsStore store(conf);
    const auto stored = store.loadWindowPosition();
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->width, 450);
    EXPECT_EQ(stored->height, 300);
    EXPECT_EQ(stored->x, area.left() + 30);
    EXPECT_EQ(stored->y, area.top() + 15);
}
