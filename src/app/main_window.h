// The main window: the frame of the program with the menus "&Datei", "&Zoom", "&Bearbeiten",
// "&Optionen" and "&Messen", the column of the document list at the left, the graphics window at
// the right and the status line with its six parts at the bottom. Every menu command runs through
// executeCommand(); every file enters through openFile().
#pragma once

#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "command_ids.h"
#include "drawing_read.h"
#include "file_filters.h"
#include "open_drawing.h"
#include "pen_colours.h"
#include "printing.h"
#include "recent_files.h"
#include "settings_store.h"
#include "viewer_state.h"
#include "zip_io.h"

class QAction;
class QLabel;
class QMenu;
class QProgressBar;

namespace planora {

class DocumentListWidget;
class DrawingInfoDialog;
class GeneralOptionsDialog;
class GraphicsWindow;
class LayerPanelWidget;
class LogoWindow;
class StatusLine;
class TooltipWindow;

// One message box the window wants to show. Tests replace the showing with their own handler so
// that nothing blocks.
struct MessageRequest {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString caption;
    QString text;
};
using MessageHandler = std::function<void(const MessageRequest&)>;
// A Yes/No question; true for Yes.
using QuestionHandler = std::function<bool(const MessageRequest&)>;

// Shows the request as a modal message box without owner window.
void showMessageBox(const MessageRequest& request);
// Asks the request as a modal Yes/No box without owner window.
bool askQuestionBox(const MessageRequest& request);

// Whether the area that carries out commands of this kind is part of this build. Menu items of
// areas that are not are shown greyed and their commands do nothing.
bool featureAvailable(Feature feature);

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    // Reads the title mode, the window position and the recent files from `settings`, which must
    // outlive the window.
    explicit MainWindow(SettingsStore& settings, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Routes one command identifier to its action; identifiers of areas that are not built, and
    // unknown ones, are ignored.
    void executeCommand(int id);
    // The command-line files opened by the command 99.
    void setCommandLineFiles(const QStringList& files) { commandLineFiles_ = files; }
    // A read of a command-line file that began at the program's start; the first open of that
    // file takes its result instead of reading the file again.
    void setStartedRead(std::unique_ptr<DrawingRead> read);
    // The logo window shown once the main window is on screen (command 999).
    void setLogoWindow(LogoWindow* logo);
    // The pen colours at start: from the settings, or after the first-start question.
    void initPenColours();
    // What the colour configuration asks for after a change: repaint the drawing in the new
    // colours or layers, refresh the snap list and "Layer an: %d von %d".
    void coloursChanged();

    // The file intake. Returns the number of rejected files (0 or 1). `rebuildRecentMenu` asks for
    // the recent-file menu after unpacked drawings, `addToList` for the document list.
    int openFile(const QString& path, bool rebuildRecentMenu, bool addToList);
    // Opens each path; reports and explains rejections. Returns the number rejected.
    int openFileList(const QStringList& paths, bool rebuildRecentMenu);
    void explainRejectedFiles(int count);
    // Drawings are read on another thread; the window answers input after at most 25 ms. A load
    // that takes longer than this delay shows the wait cursor and its progress in part 0. 0
    // shows them at once, a negative delay reads on the window's thread.
    void setBackgroundLoadDelay(int milliseconds) { backgroundLoadDelayMs_ = milliseconds; }
    // Whether a drawing is being read on another thread now.
    bool loadInProgress() const { return loading_ != nullptr; }
    // Ends the load in progress; the drawing, view and status line stay as they were.
    void cancelLoad();
    // Files dropped on the window (also used by the drop event).
    void handleDroppedFiles(const QStringList& paths);

    // The status line.
    void setStatusText(int part, const QString& text);
    QString statusText(int part) const;
    void updateStatusFields();
    void updateLayerCount();
    void updateTitle();
    void buildScaleMenu();
    void buildRecentMenu();
    void markMeasureMode(int command);

    // Layout rectangles in the client area below the menu bar.
    QRect graphicsRect() const;
    QRect documentListRect() const;
    QRect statusRect() const;

    // Access for the other parts of the program and for tests.
    ViewerState& viewerState() { return state_; }
    GraphicsWindow* graphicsWindow() const { return graphics_; }
    QWidget* documentListArea() const;
    DocumentListWidget* documentListWidget() const { return documentList_; }
    QAction* commandAction(int id) const;
    QMenu* menu(const QString& title) const;
    RecentFiles& recentFiles() { return recent_; }
    const MeasureModeMarks& measureMarks() const { return measureMarks_; }
    int scaleDenominator() const { return scaleDenominator_; }
    double unitFactor() const { return unitFactor_; }
    int decimals() const { return decimals_; }
    void setMessageHandler(MessageHandler handler);
    void setQuestionHandler(QuestionHandler handler);
    // The folders zip files were unpacked into; deleted with their contents when the window
    // closes or goes.
    const ZipTempFolders& zipFolders() const { return zipFolders_; }
    // The bar shown in place of the status line while a zip file is packed or unpacked.
    QProgressBar* zipProgressBar() const { return progressBar_; }
    // The questions, messages and dialogs of the colour configuration, and the printer side of
    // the print commands; tests replace them so that nothing blocks.
    // Messages the replacements leave out still go to the message handler.
    void setPenColourHooks(PenColourHooks hooks);
    void setPrintHooks(PrintHooks hooks);
    // Runs the dialog "Allgemeine Einstellungen"; returns whether it was confirmed. Tests replace
    // it so that nothing blocks.
    using OptionsDialogRunner = std::function<bool(GeneralOptionsDialog&)>;
    void setOptionsDialogRunner(OptionsDialogRunner runner);
    // Runs the dialog "Zeichnungsinformationen"; tests replace it so that nothing blocks.
    using InfoDialogRunner = std::function<void(DrawingInfoDialog&)>;
    void setInfoDialogRunner(InfoDialogRunner runner);
    // Asks for the file name of "&Speichern" (empty when the user cancels); tests replace it.
    using SaveDialogRunner = std::function<QString(const DialogSetup&)>;
    void setSaveDialogRunner(SaveDialogRunner runner);
    // Shows the drawing of list item `index` without listing it again; a stored path that does
    // not exist here is looked for beside the archive the list came from. Returns whether the
    // drawing was opened.
    bool showListEntry(int index);
    LayerPanelWidget* layerPanel() const { return layerPanel_; }
    TooltipWindow* tooltip() const { return tooltip_; }

    // The context menu "drittes" of the graphics window at a screen position.
    void showGraphicsContextMenu(const QPoint& globalPos);

  signals:
    // A drawing's load has gone on longer than the delay and continues on another thread.
    void backgroundLoadStarted(const QString& path);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    void buildMenus();
    void addMenuItems(QMenu* menu, std::span<const MenuItem> items);
    QMenu* buildContextMenu(const char* title);
    void setUpMeasureMenu();
    void chooseRadioItem(int id);
    void layoutChildren();
    void restoreWindowPosition();
    void saveWindowPosition();
    // Shrinks and moves the window so that its frame, title bar included, lies on its screen.
    void fitFrameOnScreen();
    void showOpenDialog();
    void saveList();
    void openArchive(const QString& path);
    void openZip(const QString& path, bool rebuildRecentMenu);
    void packListAsZip(const QString& path);
    // "Zip-Datei entpacken": copies the current item's unpacked drawing elsewhere.
    void copyListEntryOut();
    bool currentEntryFromZip() const;
    // Shows the progress bar in place of the status line for the duration of a zip run.
    class ZipRun;
    void refreshListEntry();
    void showListInformation();
    void listChanged();
    void showAboutBox();
    void showGeneralOptions();
    void openCommandLineFiles();
    void showMessage(QMessageBox::Icon icon, const QString& caption, const QString& text);
    // Shows the damage text of the current drawing, when it has one, in part 0.
    void showLoadWarning();
    // Reads a drawing; a load that takes longer than the delay runs on in the background while
    // the window answers input, with the wait cursor and "Lade <name> … n %" in part 0.
    DrawingReadResult readDrawing(const QString& path);
    // File intake commands and drops are refused while a load runs in the background.
    void setIntakeEnabled(bool enabled);
    // The measuring tooltip is only on screen while the pointer is over the graphics window and
    // this window is neither minimised nor inactive.
    void updateTooltipHold();

    SettingsStore& settings_;
    ViewerState state_;
    RecentFiles recent_;
    FileDialogMemory dialogMemory_;
    MessageHandler messageHandler_;
    QuestionHandler questionHandler_;
    PenColourHooks colourHooks_;
    PrintHooks printHooks_;
    OptionsDialogRunner optionsRunner_;
    InfoDialogRunner infoRunner_;
    SaveDialogRunner saveRunner_;
    // Whether the print entry for drawings was found at an opening of the options dialog; kept
    // between openings, so that a registered entry is not written again.
    bool printToFound_ = false;
    QStringList commandLineFiles_;
    QPointer<LogoWindow> logo_;

    QWidget* client_ = nullptr;
    DocumentListWidget* documentList_ = nullptr;
    GraphicsWindow* graphics_ = nullptr;
    StatusLine* statusLine_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    LayerPanelWidget* layerPanel_ = nullptr;
    TooltipWindow* tooltip_ = nullptr;

    std::map<int, QAction*> actions_;
    std::map<QString, QMenu*> menus_;
    QMenu* fileMenu_ = nullptr;
    QMenu* measureMenu_ = nullptr;
    QMenu* scaleMenu_ = nullptr;
    QMenu* graphicsContextMenu_ = nullptr;
    QMenu* frameContextMenu_ = nullptr;
    QMenu* listContextMenu_ = nullptr;

    MeasureModeMarks measureMarks_;
    int scaleDenominator_ = 0;  // the chosen scale, handed to measuring
    double unitFactor_ = 0.01;
    int decimals_ = 3;
    QString loadWarning_;            // damage text of the current drawing
    QString measureStatusText_;      // the last measured text put into status part 0
    bool pointerInGraphics_ = true;  // until the pointer is seen to leave it
    bool windowInactive_ = false;    // until the window is seen to lose activation
    bool shutDown_ = false;
    bool zipRunning_ = false;  // the window cannot be closed while a zip file is worked on
    ZipTempFolders zipFolders_;
    bool fittedOnScreen_ = false;  // the first show has checked the frame against the screen

    std::unique_ptr<DrawingRead> startedRead_;
    // Cancelled reads still at work (the element boxes cannot be broken off): the window does
    // not wait for them; each is dropped once it has ended.
    std::vector<std::unique_ptr<DrawingRead>> cancelledReads_;
    QTimer* cancelledReadsPoll_ = nullptr;
    void dropEndedReads();
    struct BackgroundLoad;
    BackgroundLoad* loading_ = nullptr;  // the load running now, owned by readDrawing
    int backgroundLoadDelayMs_ = 150;
};

}  // namespace planora
