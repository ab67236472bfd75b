// The commands of the main window that reach the layer panel, the colour configuration,
// measuring with its tooltip, printing and the clipboard copy, on the offscreen platform. The
// modules' own tests cover their logic; these check that each command arrives and that the
// window follows (repaint, snap list, status line).
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMouseEvent>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "graphics_window.h"
#include "layer_panel_widget.h"
#include "main_window.h"
#include "measuring.h"
#include "settings_store.h"
#include "status_texts.h"
#include "test_files.h"
#include "tooltip_window.h"

using namespace planora;

namespace {

class MainWindowWiringTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    MainWindow& makeWindow() {
        window_.reset();
        settings_ = std::make_unique<SettingsStore>(dir_.filePath(QStringLiteral("Planora.conf")));
        window_ = std::make_unique<MainWindow>(*settings_);
        window_->setMessageHandler([this](const MessageRequest& r) { messages_.push_back(r); });
        window_->resize(1000, 700);
        window_->show();
        QApplication::processEvents();
        return *window_;
    }

    // The window with the example drawing (one of its eight layers is off in the file).
    MainWindow& windowWithDrawing() {
        MainWindow& w = makeWindow();
        QFile source(QStringLiteral(PLANORA_EXAMPLES_DIR "/haus-2500.akt"));
        EXPECT_TRUE(source.open(QIODevice::ReadOnly));
        const QString path = planora::testing::writeFile(dir_.filePath(QStringLiteral("haus.akt")),
                                                         source.readAll(), {});
        EXPECT_EQ(w.openFile(path, true, true), 0);
        QApplication::processEvents();
        return w;
    }

    // Elements of `layer` drawn (layerField > 0).
    static int visibleElements(const DrawingModel& drawing, int layer) {
        int n = 0;
        const Element* e = drawing.store.elementArray();
        for (std::size_t i = 0; i < drawing.store.elementCount(); ++i) {
            n += e[i].layerField == layer + 1 ? 1 : 0;
        }
        return n;
    }

    static QPushButton* button(QWidget* parent, const QString& text) {
        for (auto* b : parent->findChildren<QPushButton*>()) {
            if (b->text() == text) {
                return b;
            }
        }
        return nullptr;
    }

    QTemporaryDir dir_;
    std::unique_ptr<SettingsStore> settings_;
    std::unique_ptr<MainWindow> window_;
    std::vector<MessageRequest> messages_;
};

TEST_F(MainWindowWiringTest, LayerPanelTakesTheListColumnAndAppliesToDrawingAndStatus) {
    MainWindow& w = windowWithDrawing();
    // The layer the file marks off is hidden from the start, and the count says so.
    EXPECT_EQ(w.statusText(StatusLayerPart), layerCountText(w.viewerState().drawing));
    EXPECT_EQ(w.statusText(StatusLayerPart), QStringLiteral("Layer an: 7 von 8"));

    w.commandAction(CmdLayers)->trigger();
    LayerPanelWidget* panel = w.layerPanel();
    ASSERT_TRUE(panel->isOpen());
    EXPECT_TRUE(panel->isVisible());
    EXPECT_FALSE(w.documentListArea()->isVisible());
    EXPECT_EQ(panel->geometry().left(), w.documentListRect().left());
    EXPECT_LE(panel->geometry().right(), w.documentListRect().right());

    // Selecting the first row (layer 1) flips it; only "übernehmen" reaches the drawing.
    auto* list = panel->findChild<QTreeWidget*>();
    ASSERT_NE(list, nullptr);
    const int before = visibleElements(w.viewerState().drawing, 1);
    ASSERT_GT(before, 0);
    list->setCurrentItem(list->topLevelItem(0));
    EXPECT_EQ(visibleElements(w.viewerState().drawing, 1), before);
    const QImage shown = w.graphicsWindow()->grab().toImage();
    button(panel, QStringLiteral("übernehmen"))->click();
    QApplication::processEvents();
    EXPECT_EQ(visibleElements(w.viewerState().drawing, 1), 0);
    EXPECT_EQ(w.statusText(StatusLayerPart), QStringLiteral("Layer an: 6 von 8"));
    EXPECT_NE(w.graphicsWindow()->grab().toImage(), shown);

    // "alle anschalten" applies at once; Escape closes and brings the list column back.
    button(panel, QStringLiteral("alle anschalten"))->click();
    EXPECT_EQ(w.statusText(StatusLayerPart), QStringLiteral("Layer an: 8 von 8"));
    panel->cancel();
    EXPECT_FALSE(panel->isOpen());
    EXPECT_TRUE(w.documentListArea()->isVisible());
}

TEST_F(MainWindowWiringTest, MeasuringTooltipHidesOffTheWindowAndStaysOnScreen) {
    MainWindow& w = windowWithDrawing();
    GraphicsWindow* g = w.graphicsWindow();
    w.commandAction(CmdSnapCentre)->trigger();
    const SnapCandidate c = g->measureSession().snapList().candidates().front();
    QMouseEvent move(QEvent::MouseMove, QPointF(c.x + 2, c.y + 1), g->mapToGlobal(QPointF(0, 0)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(g, &move);
    TooltipWindow* tip = w.tooltip();
    const QString text = tip->text();
    ASSERT_FALSE(text.isEmpty());
    ASSERT_TRUE(tip->isVisible());

    // The pointer leaves the graphics window: the tip goes, its text stays for the return.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(g, &leave);
    EXPECT_FALSE(tip->isVisible());
    EXPECT_EQ(tip->text(), text);
    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), g->mapToGlobal(QPointF(10, 10)));
    QApplication::sendEvent(g, &enter);
    EXPECT_TRUE(tip->isVisible());

    // The window loses activation to another window, and gets it back.
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    QApplication::processEvents();
    if (w.isActiveWindow()) {
        GTEST_SKIP() << "this platform does not move the activation";
    }
    EXPECT_FALSE(tip->isVisible());
    QApplication::setActiveWindow(&w);
    QApplication::processEvents();
    EXPECT_TRUE(tip->isVisible());
}

TEST(TooltipPlacement, TipStaysInsideTheScreen) {
    const QRect screen(0, 0, 1280, 1024);
    const QSize size(200, 20);
    // In the open: at the cursor.
    EXPECT_EQ(TooltipWindow::placeInside({600, 500}, size, screen), QPoint(600, 500));
    // At the right edge it goes to the left of the cursor, at the bottom above it.
    EXPECT_EQ(TooltipWindow::placeInside({1200, 500}, size, screen), QPoint(1000, 500));
    EXPECT_EQ(TooltipWindow::placeInside({600, 1010}, size, screen), QPoint(600, 990));
    EXPECT_EQ(TooltipWindow::placeInside({1279, 1023}, size, screen), QPoint(1079, 1003));
    // Exactly fitting stays; a tip wider than the screen starts at its edge.
    EXPECT_EQ(TooltipWindow::placeInside({1080, 1004}, size, screen), QPoint(1080, 1004));
    EXPECT_EQ(TooltipWindow::placeInside({100, 5}, QSize(2000, 20), screen), QPoint(0, 5));
    // A second screen to the right: its own edges count.
    EXPECT_EQ(TooltipWindow::placeInside({2500, 100}, size, QRect(1280, 0, 1280, 1024)),
              QPoint(2300, 100));
}

TEST_F(MainWindowWiringTest, MeasuringCommandsDriveTheSessionCursorStatusAndTooltip) {
    MainWindow& w = windowWithDrawing();
    GraphicsWindow* g = w.graphicsWindow();
    MeasureSession& session = g->measureSession();
    // Metre, three decimals and the drawing's first scale are chosen on their own.
    EXPECT_DOUBLE_EQ(session.units().unitFactor, 0.01);
    EXPECT_EQ(session.units().decimals, 3);
    EXPECT_DOUBLE_EQ(session.units().scaleFactor, w.scaleDenominator());
    EXPECT_GT(w.scaleDenominator(), 0);

    const QCursor frame = g->cursor();
    w.commandAction(CmdSnapCentre)->trigger();
    EXPECT_TRUE(session.measuring());
    EXPECT_EQ(session.snapMode(), SnapMode::Geometry);
    EXPECT_TRUE(w.commandAction(CmdSnapCentre)->isChecked());
    EXPECT_TRUE(w.commandAction(CmdMeasureOff)->isEnabled());
    EXPECT_NE(g->cursor().pixmap().cacheKey(), frame.pixmap().cacheKey());
    ASSERT_FALSE(session.snapList().empty());

    // A mouse move near a candidate shows the measured text in part 0 and in the tooltip.
    const SnapCandidate c = session.snapList().candidates().front();
    QMouseEvent move(QEvent::MouseMove, QPointF(c.x + 2, c.y + 1), g->mapToGlobal(QPointF(0, 0)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(g, &move);
    const QString text = w.statusText(StatusMessagePart);
    EXPECT_TRUE(text.startsWith(QStringLiteral("Abstände: "))) << text.toStdString();
    EXPECT_EQ(text, QString::fromStdString(session.measureText()));
    EXPECT_EQ(w.tooltip()->text(), text);
    EXPECT_TRUE(w.tooltip()->isVisible());

    // A click there sets the anchor on the candidate's drawing point.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(c.x + 2, c.y + 1),
                      g->mapToGlobal(QPointF(0, 0)), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(g, &press);
    EXPECT_TRUE(session.anchor().set);
    EXPECT_EQ(session.anchor().point.x, c.point.x);
    EXPECT_EQ(session.anchor().point.y, c.point.y);

    // Units, decimals and scale reach the session.
    w.executeCommand(CmdUnitMillimetre);
    w.executeCommand(CmdDecimals1);
    w.executeCommand(CmdScaleFirst + 1);
    EXPECT_DOUBLE_EQ(session.units().unitFactor, 10.0);
    EXPECT_EQ(session.units().decimals, 1);
    ASSERT_NE(w.commandAction(CmdScaleFirst + 1), nullptr);
    EXPECT_DOUBLE_EQ(session.units().scaleFactor,
                     w.commandAction(CmdScaleFirst + 1)->data().toInt());

    // "Texte zeigen" switches the snap points without another cursor; "Meßmodus abschalten" ends
    // it, hides the tooltip and brings the frame cursor back.
    w.commandAction(CmdShowTexts)->trigger();
    EXPECT_EQ(session.snapMode(), SnapMode::Texts);
    w.commandAction(CmdMeasureOff)->trigger();
    EXPECT_FALSE(session.measuring());
    EXPECT_FALSE(w.tooltip()->isVisible());
    EXPECT_EQ(g->cursor().pixmap().cacheKey(), frame.pixmap().cacheKey());
    EXPECT_FALSE(w.commandAction(CmdMeasureOff)->isEnabled());
}

TEST_F(MainWindowWiringTest, LayerChangeRefreshesTheSnapList) {
    MainWindow& w = windowWithDrawing();
    MeasureSession& session = w.graphicsWindow()->measureSession();
    w.executeCommand(CmdSnapEndPoint);
    const std::size_t all = session.snapList().candidates().size();
    w.executeCommand(CmdLayers);
    button(w.layerPanel(), QStringLiteral("alle ausschalten"))->click();
    EXPECT_TRUE(session.snapList().empty());
    button(w.layerPanel(), QStringLiteral("alle anschalten"))->click();
    EXPECT_GT(session.snapList().candidates().size(), all);  // with the layer the file had off
}

TEST_F(MainWindowWiringTest, ColourCommandsAskStoreAndRepaint) {
    MainWindow& w = windowWithDrawing();
    int questions = 0;
    std::vector<QString> dialogs;
    std::uint32_t dialogColour = 0x00FF0000;  // blue as a colour reference
    PenColourHooks hooks;
    hooks.askYesNo = [&](const QString& caption, const QString&) {
        ++questions;
        EXPECT_EQ(caption, QStringLiteral("Bitte wählen Sie ..."));
        return false;
    };
    hooks.colourDialog = [&](const QString& title, std::span<std::uint32_t> colours,
                             const PenColourHooks::TakeOver&) {
        dialogs.push_back(title);
        std::fill(colours.begin(), colours.end(), dialogColour);
        return true;
    };
    w.setPenColourHooks(hooks);

    // First start without stored colours: the question, and with "Nein" the stored built-in set.
    w.initPenColours();
    EXPECT_EQ(questions, 1);
    EXPECT_TRUE(settings_->penTable().has_value());
    EXPECT_TRUE(settings_->colourTable().has_value());
    w.initPenColours();
    EXPECT_EQ(questions, 1);

    // "&Hintergrundfarbe": the new colour is stored and the window repaints in it at once.
    w.commandAction(CmdBackgroundColour)->trigger();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(w.viewerState().renderer.backgroundColour(), 0x00FF0000u);
    EXPECT_EQ(settings_->backgroundColour(), 0x00FF0000u);
    const QImage picture = w.graphicsWindow()->grab().toImage();
    EXPECT_EQ(QColor(picture.pixel(picture.width() - 2, picture.height() - 2)), QColor(0, 0, 255));

    // "&Stiftfarben": every pen takes the dialog's colour, and the drawing repaints in it.
    dialogColour = 0x00123456;
    w.commandAction(CmdPenColours)->trigger();
    ASSERT_EQ(dialogs.size(), 2u);
    const Renderer& r = w.viewerState().renderer;
    EXPECT_EQ(r.palette()[static_cast<std::size_t>(r.penTable()[1])], dialogColour);
    const QImage repainted = w.graphicsWindow()->grab().toImage();
    int inNewColour = 0;
    for (int y = 0; y < repainted.height(); y += 2) {
        for (int x = 0; x < repainted.width(); x += 2) {
            inNewColour += QColor(repainted.pixel(x, y)) == QColor(0x56, 0x34, 0x12) ? 1 : 0;
        }
    }
    EXPECT_GT(inNewColour, 100);
}

TEST_F(MainWindowWiringTest, ClipboardCopyHasTheViewsProportionsAndKeepsTheView) {
    MainWindow& w = windowWithDrawing();
    const ViewTransform view = w.viewerState().view.currentView();
    const int gw = w.graphicsWindow()->width();
    const int gh = w.graphicsWindow()->height();
    QApplication::clipboard()->clear();
    w.commandAction(CmdCopyToClipboard)->trigger();
    const QImage copy = QApplication::clipboard()->image();
    ASSERT_FALSE(copy.isNull());
    const double k = 2400.0 / gw;
    EXPECT_EQ(copy.width(), static_cast<int>(gw * k));
    EXPECT_EQ(copy.height(), static_cast<int>(gh * k));
    EXPECT_EQ(w.viewerState().view.currentView(), view);
    EXPECT_FALSE(w.viewerState().renderer.blackOutput());
}

TEST_F(MainWindowWiringTest, PrintCommandsReachThePrinters) {
    MainWindow& w = windowWithDrawing();
    const QString dialogPdf = dir_.filePath(QStringLiteral("dialog.pdf"));
    const QString defaultPdf = dir_.filePath(QStringLiteral("default.pdf"));
    QString defaultName;
    PrintHooks hooks;
    hooks.runDialog = [&](QPrinter& printer, QWidget*) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dialogPdf);
        return true;
    };
    hooks.defaultPrinterName = [&] { return defaultName; };
    hooks.openPrinter = [&](const QString&) {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(defaultPdf);
        return printer;
    };
    w.setPrintHooks(hooks);
    const ViewTransform view = w.viewerState().view.currentView();

    w.commandAction(CmdPrintDialog)->trigger();
    EXPECT_GT(QFileInfo(dialogPdf).size(), 1000);
    EXPECT_EQ(w.viewerState().view.currentView(), view);

    // Without a default printer the message comes through the window's message handler.
    w.executeCommand(CmdPrintDefault);
    EXPECT_FALSE(QFileInfo::exists(defaultPdf));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].caption, QStringLiteral("GetProfileString"));
    defaultName = QStringLiteral("PlanoraTest");

    // A right click outside the graphics window opens "zweites", whose "&Drucken" prints to the
    // default printer; inside the graphics window that menu stays closed.
    auto openMenu = [&] {
        for (QMenu* menu : w.findChildren<QMenu*>()) {
            if (menu->isVisible()) {
                return menu;
            }
        }
        return static_cast<QMenu*>(nullptr);
    };
    auto rightClick = [&](QPoint inWindow) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, inWindow, w.mapToGlobal(inWindow));
        QApplication::sendEvent(&w, &event);
    };
    const QPoint inGraphics = w.graphicsWindow()->mapTo(&w, w.graphicsWindow()->rect().center());
    rightClick(inGraphics);
    EXPECT_EQ(openMenu(), nullptr);

    rightClick(QPoint(40, w.height() / 2));  // the left column
    QMenu* frameMenu = openMenu();
    ASSERT_NE(frameMenu, nullptr);
    QAction* printDefault = nullptr;
    for (QAction* a : frameMenu->actions()) {
        if (a->data().toInt() == CmdPrintDefault) {
            printDefault = a;
        }
    }
    ASSERT_NE(printDefault, nullptr);
    EXPECT_EQ(printDefault->text(), QStringLiteral("&Drucken"));
    ASSERT_TRUE(printDefault->isEnabled());
    printDefault->trigger();
    frameMenu->close();
    EXPECT_GT(QFileInfo(defaultPdf).size(), 1000);
    EXPECT_EQ(messages_.size(), 1u);
}

}  // namespace
