#include "main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QIcon>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QResizeEvent>
#include <QScreen>
#include <QSvgRenderer>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <vector>

#include "clipboard_copy.h"
#include "colour_dialog.h"
#include "command_line.h"
#include "document_list_widget.h"
#include "drawing_file.h"
#include "drawing_info_dialog.h"
#include "drawing_read.h"
#include "export_dialog.h"
#include "file_types.h"
#include "general_options_dialog.h"
#include "graphics_window.h"
#include "layer_panel_widget.h"
#include "local_file_names.h"
#include "logo_window.h"
#include "message_box_layout.h"
#include "open_drawing.h"
#include "output_file.h"
#include "progress.h"
#include "renderer.h"
#include "shell_integration.h"
#include "status_line.h"
#include "status_texts.h"
#include "tooltip_window.h"

namespace planora {

namespace {

constexpr int kDocumentListWidth = 158;
constexpr int kGraphicsLeft = 162;
constexpr int kScaleMenuMax = CmdScaleLast - CmdScaleFirst + 1;

// The client area below the menu bar; lays out its children whenever its size changes.
class ClientArea : public QWidget {
  public:
    explicit ClientArea(std::function<void()> onResize) : onResize_(std::move(onResize)) {}

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        onResize_();
    }

  private:
    std::function<void()> onResize_;
};

QString pathFromModel(const std::string& path) {
    return fileNameFromLocal(QByteArray::fromStdString(path));
}

// The local file of a dropped URL with every byte of its name, also those that are not UTF-8.
QString localFileFromUrl(const QUrl& url) {
    const QByteArray bytes =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    return fileNameFromLocal(bytes);
}

QIcon programIcon() {
    QSvgRenderer svg(QStringLiteral(":/icons/GIcon.svg"));
    if (!svg.isValid()) {
        return {};
    }
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        svg.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

constexpr char kZipErrorCaption[] = "Planora: Zip-Fehler";
constexpr char kZipInfoCaption[] = "Planora - Information";
constexpr char kZipNotUnpackedText[] = "Zip-Datei konnte nicht ausgepackt werden!";
constexpr char kUmlautCaption[] = "Planora - Achtung";
constexpr char kUmlautQuestion[] =
    "Mindestens ein Dateiname enthält Umlaute (äöüß...).\n"
    "Diese können von Planora in einer Zip-Datei nicht korrekt konvertiert\n"
    "werden. Sie können den Zip-Vorgang jetzt abbrechen und die Dateien\n"
    "umbenennen. Andererseits können Sie auch fortfahren und später beim\n"
    "Auspacken die Dateinamen korrigieren.\n\n"
    "Möchten Sie weitermachen?";

// Copies the regular file `source` to `target` through a temporary file beside the target, with
// the source's last-write time. Returns why it failed, or nothing.
std::optional<QString> copyRegularFile(const std::string& source, const std::string& target) {
    const QString targetName = fileNameFromLocal(QByteArray::fromStdString(target));
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (in < 0) {
        return QStringLiteral("Die Zeichnung %1 kann nicht gelesen werden.")
            .arg(fileNameFromLocal(QByteArray::fromStdString(source)));
    }
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closeIn{in};
    struct stat from {};
    if (::fstat(in, &from) != 0 || !S_ISREG(from.st_mode)) {
        return QStringLiteral("Die Zeichnung %1 ist keine reguläre Datei.")
            .arg(fileNameFromLocal(QByteArray::fromStdString(source)));
    }
    struct stat to {};
    if (::stat(target.c_str(), &to) == 0) {
        if (to.st_dev == from.st_dev && to.st_ino == from.st_ino) {
            return QStringLiteral("%1 ist die Zeichnung selbst und wird nicht überschrieben.")
                .arg(targetName);
        }
        if (!S_ISREG(to.st_mode)) {
            return QStringLiteral("%1 ist keine reguläre Datei.").arg(targetName);
        }
    }
    OutputFile out(target);
    if (!out.begin()) {
        return QStringLiteral("%1 kann nicht angelegt werden.").arg(targetName);
    }
    std::array<char, 65536> buffer{};
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            out.discard();
            return QStringLiteral("Die Zeichnung %1 kann nicht gelesen werden.")
                .arg(fileNameFromLocal(QByteArray::fromStdString(source)));
        }
        if (got == 0) {
            break;
        }
        if (out.write(buffer.data(), got) != got) {
            break;  // commit reports it
        }
    }
    if (!out.commit()) {
        return QStringLiteral("%1 konnte nicht vollständig geschrieben werden.").arg(targetName);
    }
    const timespec times[2] = {{0, UTIME_OMIT}, from.st_mtim};
    ::utimensat(AT_FDCWD, target.c_str(), times, 0);
    return std::nullopt;
}

// Commands that bring a file in; refused while a drawing is read in the background.
bool isIntakeCommand(int id) {
    switch (id) {
        case CmdOpen:
        case CmdOpenCommandLineFiles:
        case CmdLoadArchiveUnnamed:
        case CmdListShow:
        case CmdListRefresh:
        case CmdListUnzip:
            return true;
        default:
            return id >= CmdRecentFirst && id <= CmdRecentLast;
    }
}

}  // namespace

void showMessageBox(const MessageRequest& request) {
    QMessageBox box(request.icon, request.caption, request.text, QMessageBox::Ok);
    keepLineBreaks(box);
    box.exec();
}

bool askQuestionBox(const MessageRequest& request) {
    QMessageBox box(request.icon, request.caption, request.text,
                    QMessageBox::Yes | QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool featureAvailable(Feature feature) {
    switch (feature) {
        case Feature::Shell:
        case Feature::Options:
        case Feature::DrawingProgram:
            return true;
        case Feature::Printing:
        case Feature::Clipboard:
        case Feature::Layers:
        case Feature::Colours:
        case Feature::Measuring:
            return true;
        // Areas whose work is not wired into the main window yet; each is switched on here when
        // it is.
        case Feature::DocumentList:
        case Feature::Zip:
            return true;
    }
    return false;
}

MainWindow::MainWindow(SettingsStore& settings, QWidget* parent)
    : QMainWindow(parent),
      settings_(settings),
      dialogMemory_(settings),
      messageHandler_(showMessageBox),
      questionHandler_(askQuestionBox) {
    initProgramResources();
    setObjectName(QStringLiteral("ContainerClass"));
    setWindowTitle(QString::fromUtf8(kProgramName));
    setWindowIcon(programIcon());
    setAcceptDrops(true);

    // Children: graphics window, document list column, status line.
    client_ = new ClientArea([this] { layoutChildren(); });
    setCentralWidget(client_);
    graphics_ = new GraphicsWindow(state_, client_);
    graphics_->setObjectName(QStringLiteral("GrafikWin"));
    documentList_ = new DocumentListWidget(client_);
    connect(documentList_, &DocumentListWidget::showRequested, this,
            [this](int index) { showListEntry(index); });
    connect(documentList_, &DocumentListWidget::menuRequested, this, [this](const QPoint& pos) {
        // "Zip-Datei entpacken" only for a drawing that came out of a zip file.
        for (QAction* a : listContextMenu_->actions()) {
            if (a->data().toInt() == CmdListUnzip) {
                a->setEnabled(featureAvailable(Feature::Zip) && currentEntryFromZip());
            }
        }
        listContextMenu_->popup(pos);
    });
    statusLine_ = new StatusLine(client_);
    statusLine_->setText(StatusMessagePart, QString());
    // Takes the status line's place while a zip file is packed or unpacked.
    progressBar_ = new QProgressBar(client_);
    progressBar_->setObjectName(QStringLiteral("msctls_progress32"));
    progressBar_->setTextVisible(false);
    progressBar_->hide();
    // The layer panel takes the document list's place while it is open.
    layerPanel_ = new LayerPanelWidget(state_.drawing, client_);
    connect(layerPanel_, &LayerPanelWidget::aboutToChangeLayers, graphics_,
            &GraphicsWindow::finishPictures);
    connect(layerPanel_, &LayerPanelWidget::layersChanged, this, &MainWindow::coloursChanged);
    // The measured value next to the cursor; a window of its own that never takes the focus.
    tooltip_ = new TooltipWindow(this);
    connect(graphics_, &GraphicsWindow::measureTextChanged, this, [this](const QString& text) {
        if (!text.isEmpty()) {
            measureStatusText_ = text;
        }
        tooltip_->showTextAtCursor(text);
    });
    graphics_->installEventFilter(this);

    // Messages of the colour configuration and the print commands go through the message
    // handler like the window's own.
    PenColourHooks colourHooks = widgetPenColourHooks(this);
    colourHooks.message = nullptr;
    setPenColourHooks(std::move(colourHooks));
    setPrintHooks({});
    setOptionsDialogRunner(nullptr);
    setInfoDialogRunner(nullptr);
    setSaveDialogRunner(nullptr);

    connect(graphics_, &GraphicsWindow::statusTextRequested, this, &MainWindow::setStatusText);
    connect(graphics_, &GraphicsWindow::contextMenuRequested, this,
            &MainWindow::showGraphicsContextMenu);
    connect(graphics_, &GraphicsWindow::focusToMainWindowRequested, this, [this] {
        activateWindow();
        setFocus(Qt::MouseFocusReason);
    });
    setFocusPolicy(Qt::StrongFocus);

    buildMenus();
    recent_.loadRecentFiles(settings_);
    buildRecentMenu();
    setUpMeasureMenu();
    restoreWindowPosition();
}

MainWindow::~MainWindow() {
    // The drawing goes before the child windows: the graphics window stops reading it first.
    graphics_->finishPictures();
}

void MainWindow::setLogoWindow(LogoWindow* logo) {
    logo_ = logo;
}

void MainWindow::setMessageHandler(MessageHandler handler) {
    messageHandler_ = std::move(handler);
}

void MainWindow::setQuestionHandler(QuestionHandler handler) {
    questionHandler_ = handler ? std::move(handler) : QuestionHandler(askQuestionBox);
}

QWidget* MainWindow::documentListArea() const {
    return documentList_;
}

void MainWindow::setPenColourHooks(PenColourHooks hooks) {
    colourHooks_ = std::move(hooks);
    if (!colourHooks_.thumbnailBackground) {
        colourHooks_.thumbnailBackground = [this](std::uint32_t colour) {
            documentList_->list().setThumbnailBackground(colour);
        };
    }
    if (!colourHooks_.message) {
        colourHooks_.message = [this](MessageIcon icon, const QString& caption,
                                      const QString& text) {
            showMessage(
                icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::Information,
                caption, text);
        };
    }
}

void MainWindow::setPrintHooks(PrintHooks hooks) {
    printHooks_ = std::move(hooks);
    if (!printHooks_.showMessage) {
        printHooks_.showMessage = [this](const QString& text, const QString& caption) {
            showMessage(QMessageBox::NoIcon, caption, text);
        };
    }
}

void MainWindow::setOptionsDialogRunner(OptionsDialogRunner runner) {
    optionsRunner_ = std::move(runner);
    if (!optionsRunner_) {
        optionsRunner_ = [](GeneralOptionsDialog& dialog) {
            return dialog.exec() == QDialog::Accepted;
        };
    }
}

void MainWindow::setInfoDialogRunner(InfoDialogRunner runner) {
    infoRunner_ = std::move(runner);
    if (!infoRunner_) {
        infoRunner_ = [](DrawingInfoDialog& dialog) { dialog.exec(); };
    }
}

void MainWindow::setSaveDialogRunner(SaveDialogRunner runner) {
    saveRunner_ = std::move(runner);
    if (!saveRunner_) {
        saveRunner_ = [this](const DialogSetup& setup) {
            QString selected = setup.selectedFilter;
            return QFileDialog::getSaveFileName(this, QString(), setup.initialFile, setup.filters,
                                                &selected);
        };
    }
}

void MainWindow::showGeneralOptions() {
    const XdgPlaces places = XdgPlaces::fromEnvironment();
    bool printToChecked = false;
    if (!drawingTypeName(places)) {
        printToFound_ = false;
    } else if (isPrintToRegistered(places)) {
        printToChecked = true;
        printToFound_ = true;
    }
    GeneralOptionsDialog dialog(settings_.titleMode(), printToChecked, this);
    if (!optionsRunner_(dialog)) {
        return;
    }
    // The title follows the new mode with the next opened file.
    if (const auto mode = dialog.chosenTitleMode()) {
        settings_.setTitleMode(*mode);
    }
    if (dialog.printToChecked() && !printToFound_) {
        // Without a drawing type nothing happens at all; an entry that could not be written is
        // reported as such, not as success.
        switch (registerPrintTo(places, programExecName())) {
            case PrintToResult::NoDrawingType:
                break;
            case PrintToResult::Written:
                showMessage(QMessageBox::NoIcon, QString::fromUtf8(kPrintToCaption),
                            printToRegisteredText());
                break;
            case PrintToResult::WriteFailed:
                showMessage(QMessageBox::Warning, QString::fromUtf8(kPrintToFailedCaption),
                            printToFailedText(places));
                break;
        }
    }
    if (dialog.shortcutChecked() && createDesktopShortcut(places, programExecName())) {
        showMessage(QMessageBox::Information, QString::fromUtf8(kShortcutCaption),
                    desktopShortcutText());
    }
}

void MainWindow::initPenColours() {
    planora::initPenColours(state_, settings_, colourHooks_);
    graphics_->drawingChanged();
}

void MainWindow::coloursChanged() {
    graphics_->drawingChanged();  // repaints and refreshes the snap list
    update();
    updateLayerCount();
}

// ---- Menus ----

void MainWindow::buildMenus() {
    for (const Menu& m : mainMenu()) {
        QMenu* qm = menuBar()->addMenu(QString::fromUtf8(m.title));
        menus_[QString::fromUtf8(m.title)] = qm;
        addMenuItems(qm, m.items);
    }
    fileMenu_ = menus_.at(QStringLiteral("&Datei"));
    measureMenu_ = menus_.at(QStringLiteral("&Messen"));

    // The graphics window's context menu "drittes" and the frame's "zweites" (shown for a right
    // click anywhere else in the window): their own actions, routed the same way.
    graphicsContextMenu_ = buildContextMenu("drittes");
    frameContextMenu_ = buildContextMenu("zweites");
    listContextMenu_ = buildContextMenu("erstes");
}

QMenu* MainWindow::buildContextMenu(const char* title) {
    auto* menu = new QMenu(this);
    if (const Menu* popup = contextMenu(title)) {
        for (const MenuItem& item : popup->items) {
            if (item.kind == MenuItem::Kind::Separator) {
                menu->addSeparator();
                continue;
            }
            QAction* a = menu->addAction(menuText(item));
            const int id = item.id;
            const auto feature = commandFeature(id);
            a->setEnabled(feature && featureAvailable(*feature));
            a->setData(id);
            connect(a, &QAction::triggered, this, [this, id] { executeCommand(id); });
        }
    }
    return menu;
}

void MainWindow::addMenuItems(QMenu* menu, std::span<const MenuItem> items) {
    std::map<int, QActionGroup*> groups;
    for (const MenuItem& item : items) {
        switch (item.kind) {
            case MenuItem::Kind::Separator:
                menu->addSeparator();
                break;
            case MenuItem::Kind::Submenu: {
                QMenu* sub = menu->addMenu(menuText(item));
                menus_[menuText(item)] = sub;
                addMenuItems(sub, item.submenu);
                break;
            }
            case MenuItem::Kind::Command: {
                QAction* a = menu->addAction(menuText(item));
                const int id = item.id;
                a->setData(id);
                QList<QKeySequence> keys;
                for (const QKeyCombination& key : commandShortcuts(id)) {
                    keys << QKeySequence(key);
                }
                a->setShortcuts(keys);  // shown beside the item; the text stays as it is
                const auto feature = commandFeature(id);
                a->setEnabled(!item.greyed && feature && featureAvailable(*feature));
                if (item.radio) {
                    a->setCheckable(true);
                    const int first = radioGroupFirst(id);
                    QActionGroup*& group = groups[first];
                    if (!group) {
                        group = new QActionGroup(menu);
                        group->setExclusive(true);
                    }
                    group->addAction(a);
                } else if (id >= CmdSnapEndPoint && id <= CmdShowTexts) {
                    a->setCheckable(true);  // carries the measuring mode's mark
                }
                connect(a, &QAction::triggered, this, [this, id] { executeCommand(id); });
                actions_[id] = a;
                break;
            }
        }
    }
}

QAction* MainWindow::commandAction(int id) const {
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

QMenu* MainWindow::menu(const QString& title) const {
    const auto it = menus_.find(title);
    return it == menus_.end() ? nullptr : it->second;
}

void MainWindow::setUpMeasureMenu() {
    auto* separator = new QAction(measureMenu_);
    separator->setSeparator(true);
    measureMenu_->insertAction(commandAction(CmdShowTexts), separator);
    actions_[CmdScaleSeparator] = separator;
    executeCommand(CmdUnitMetre);
    executeCommand(CmdDecimals3);
}

void MainWindow::chooseRadioItem(int id) {
    QAction* chosen = commandAction(id);
    if (!chosen) {
        return;
    }
    // Walk the group from its first identifier until an identifier has no item.
    for (int other = radioGroupFirst(id); other > 0; ++other) {
        QAction* a = commandAction(other);
        if (!a) {
            break;
        }
        a->setChecked(false);
    }
    chosen->setChecked(true);
}

void MainWindow::markMeasureMode(int command) {
    measureMarks_.mark(command);
    for (int id = CmdSnapEndPoint; id <= CmdShowTexts; ++id) {
        if (QAction* a = commandAction(id)) {
            a->setChecked(measureMarks_.isChecked(id));
        }
    }
    if (QAction* off = commandAction(CmdMeasureOff)) {
        off->setEnabled(featureAvailable(Feature::Measuring) && measureMarks_.offEnabled);
    }
}

void MainWindow::buildScaleMenu() {
    std::array<std::int32_t, kScaleMenuMax> scales{};
    const std::size_t n = state_.drawing.scales.listScales(scales.data(), scales.size());
    if (n == 0) {
        return;  // the previous menu stays
    }
    for (int id : {int(CmdScaleSeparator), int(CmdScaleSubmenu)}) {
        if (QAction* a = commandAction(id)) {
            measureMenu_->removeAction(a);
            actions_.erase(id);
            if (id == CmdScaleSeparator) {
                delete a;
            }
        }
    }
    for (int id = CmdScaleFirst; id <= CmdScaleLast; ++id) {
        actions_.erase(id);
    }
    delete scaleMenu_;  // its entries go with it

    auto* separator = new QAction(measureMenu_);
    separator->setSeparator(true);
    measureMenu_->insertAction(commandAction(CmdShowTexts), separator);
    actions_[CmdScaleSeparator] = separator;

    scaleMenu_ = new QMenu(QString::fromUtf8(kScaleMenuCaption), measureMenu_);
    auto* group = new QActionGroup(scaleMenu_);
    for (std::size_t i = 0; i < n; ++i) {
        const int id = CmdScaleFirst + static_cast<int>(i);
        QAction* a = scaleMenu_->addAction(scaleMenuText(scales[i]));
        a->setData(scales[i]);
        a->setCheckable(true);
        a->setEnabled(featureAvailable(Feature::Measuring));
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, id] { executeCommand(id); });
        actions_[id] = a;
    }
    measureMenu_->insertMenu(separator, scaleMenu_);
    actions_[CmdScaleSubmenu] = scaleMenu_->menuAction();
    menus_[QString::fromUtf8(kScaleMenuCaption)] = scaleMenu_;
    executeCommand(CmdScaleFirst);
}

void MainWindow::buildRecentMenu() {
    for (int id = CmdRecentFirst; id <= CmdRecentSeparatorAfter; ++id) {
        if (QAction* a = commandAction(id)) {
            fileMenu_->removeAction(a);
            actions_.erase(id);
            delete a;
        }
    }
    QAction* exitAction = commandAction(CmdExit);
    auto* before = new QAction(fileMenu_);
    before->setSeparator(true);
    fileMenu_->insertAction(exitAction, before);
    actions_[CmdRecentSeparatorBefore] = before;
    const auto items = recent_.buildRecentMenu();
    for (const RecentMenuItem& item : items) {
        auto* a = new QAction(item.text, fileMenu_);
        const int id = item.id;
        a->setData(id);
        connect(a, &QAction::triggered, this, [this, id] { executeCommand(id); });
        fileMenu_->insertAction(exitAction, a);
        actions_[id] = a;
    }
    if (!items.empty()) {
        auto* after = new QAction(fileMenu_);
        after->setSeparator(true);
        fileMenu_->insertAction(exitAction, after);
        actions_[CmdRecentSeparatorAfter] = after;
    }
}

void MainWindow::showGraphicsContextMenu(const QPoint& globalPos) {
    graphicsContextMenu_->popup(globalPos);
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    // The graphics window shows its own menu for a right click; everywhere else in the window
    // (the left column, the status line, the frame) the menu "zweites" opens.
    const QPoint inGraphics = graphics_->mapFromGlobal(event->globalPos());
    if (graphics_->rect().contains(inGraphics)) {
        event->accept();
        return;
    }
    frameContextMenu_->popup(event->globalPos());
    event->accept();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Plus:
            graphics_->zoomAtCentre(1.25);
            break;
        case Qt::Key_Minus:
            graphics_->zoomAtCentre(0.8);
            break;
        case Qt::Key_Left:
            graphics_->panTowards(Qt::LeftArrow);
            break;
        case Qt::Key_Right:
            graphics_->panTowards(Qt::RightArrow);
            break;
        case Qt::Key_Up:
            graphics_->panTowards(Qt::UpArrow);
            break;
        case Qt::Key_Down:
            graphics_->panTowards(Qt::DownArrow);
            break;
        case Qt::Key_Escape:
            if (loading_) {
                cancelLoad();
                break;
            }
            // One mode per key press: a zoom window in progress first, then the measuring mode.
            if (!graphics_->cancelZoomWindow() && measureMarks_.offEnabled) {
                executeCommand(CmdMeasureOff);
            }
            break;
        default:
            QMainWindow::keyPressEvent(event);
            return;
    }
    event->accept();
}

// ---- Commands ----

void MainWindow::executeCommand(int id) {
    if (loading_ && isIntakeCommand(id)) {
        return;  // one load at a time; the menu items are greyed meanwhile
    }
    if (id >= CmdRecentFirst && id <= CmdRecentLast) {
        if (const auto path = recent_.recentPath(id)) {
            if (openFile(*path, false, true) > 0) {
                explainRejectedFiles(1);
            }
        }
        return;
    }
    if (id >= CmdScaleFirst && id <= CmdScaleLast) {
        if (QAction* a = commandAction(id)) {
            chooseRadioItem(id);
            scaleDenominator_ = a->data().toInt();
            graphics_->measureSession().setScaleFactor(scaleDenominator_);
        }
        return;
    }
    switch (id) {
        case CmdShowMainWindow:
            show();
            raise();
            activateWindow();
            if (logo_) {
                logo_->showLogo();
            }
            return;
        case CmdOpenCommandLineFiles:
            openCommandLineFiles();
            return;
        case CmdOpen:
            showOpenDialog();
            return;
        case CmdNew:
            documentList_->list().clear();
            documentList_->rebuild();
            return;
        case CmdSave:
            saveList();
            return;
        case CmdCompactThumbnails:
            documentList_->list().compactThumbnails();
            documentList_->rebuild();
            return;
        case CmdListDelete:
            documentList_->removeCurrent();
            return;
        case CmdListInformation:
            showListInformation();
            return;
        case CmdListShow:
            if (documentList_->currentEntryIndex() >= 0) {
                showListEntry(documentList_->currentEntryIndex());
            }
            return;
        case CmdListRefresh:
            refreshListEntry();
            return;
        case CmdListUnzip:
            copyListEntryOut();
            return;
        case CmdInfo:
            showAboutBox();
            return;
        case CmdExit:
            close();
            return;
        case CmdZoomAll:
            graphics_->zoomAll();
            return;
        case CmdZoomWindow:
            graphics_->startZoomWindow();
            return;
        case CmdZoomPrevious:
            graphics_->zoomPrevious();
            return;
        case CmdRedraw:
            graphics_->redraw();
            return;
        case CmdPrintDialog:
            printWithDialog(state_, graphics_->width(), graphics_->height(), this, printHooks_);
            graphics_->redraw();
            return;
        case CmdExport:
            exportWithDialog(state_, this);
            return;
        case CmdPrintDefault:
            printToDefaultPrinter(state_, graphics_->width(), graphics_->height(), printHooks_);
            graphics_->redraw();
            return;
        case CmdCopyToClipboard:
            copyToClipboard(state_, graphics_->width(), graphics_->height());
            return;
        case CmdEditWithDrawingProgram:
            startDrawingProgram(drawingProgramOpenCommand(),
                                pathFromModel(state_.drawing.currentDrawingPath));
            return;
        case CmdGeneralOptions:
            showGeneralOptions();
            return;
        case CmdPenColours:
            if (editPenColours(state_, settings_, colourHooks_)) {
                coloursChanged();
            }
            return;
        case CmdBackgroundColour:
            if (editBackgroundColour(state_, settings_, colourHooks_)) {
                coloursChanged();
            }
            return;
        case CmdLayers:
            layerPanel_->setGeometry(documentListRect());
            layerPanel_->openPanel(documentList_);
            return;
        case CmdMeasureOff:
            graphics_->endMeasuring();  // also empties and hides the tooltip
            markMeasureMode(id);
            // A measured value or "Text: [...]" left in part 0 belongs to the mode just ended.
            if (!measureStatusText_.isEmpty() &&
                statusText(StatusMessagePart) == measureStatusText_) {
                setStatusText(StatusMessagePart, QString());
            }
            measureStatusText_.clear();
            return;
        case CmdSnapEndPoint:
        case CmdSnapMidPoint:
        case CmdSnapCentre:
        case CmdSnapIntersection:
            graphics_->startMeasuring();
            markMeasureMode(id);
            return;
        case CmdShowTexts:
            graphics_->startShowingTexts();
            markMeasureMode(id);
            return;
        case CmdUnitMetre:
        case CmdUnitCentimetre:
        case CmdUnitMillimetre: {
            static constexpr double kFactors[] = {0.01, 1.0, 10.0};
            chooseRadioItem(id);
            unitFactor_ = kFactors[id - CmdUnitMetre];
            graphics_->measureSession().setUnitFactor(unitFactor_);
            return;
        }
        case CmdDecimals3:
        case CmdDecimals2:
        case CmdDecimals1:
        case CmdDecimals0:
            chooseRadioItem(id);
            decimals_ = 3 - (id - CmdDecimals3);
            graphics_->measureSession().setDecimals(decimals_);
            return;
        default:
            // Commands of areas not built yet (their items are greyed) and unknown identifiers.
            return;
    }
}

void MainWindow::openCommandLineFiles() {
    openFileList(commandLineFiles_, true);
    startedRead_.reset();  // a read the intake did not take is not kept
    graphics_->zoomAll();
    buildScaleMenu();
}

void MainWindow::showOpenDialog() {
    const DialogSetup setup = dialogMemory_.openDialogSetup();
    QString selected = setup.selectedFilter;
    const QString path =
        QFileDialog::getOpenFileName(this, QString(), setup.initialFile, setup.filters, &selected);
    if (path.isEmpty()) {
        return;
    }
    const QString chosen = dialogMemory_.acceptOpenChoice(resolveLossyFileName(path));
    if (openFile(chosen, true, true) > 0) {
        explainRejectedFiles(1);
    }
}

void MainWindow::showAboutBox() {
    showMessage(QMessageBox::Information, QString::fromUtf8(kAboutCaption),
                aboutText(programVersion()));
}

void MainWindow::showMessage(QMessageBox::Icon icon, const QString& caption, const QString& text) {
    if (messageHandler_) {
        messageHandler_({icon, caption, text});
    }
}

// ---- File intake ----

int MainWindow::openFile(const QString& path, bool rebuildRecentMenu, bool addToList) {
    int rejected = 0;
    // A folder, a named pipe or a device is never opened: reading a pipe would block the window.
    if (const auto notRegular = nonRegularFileText(path)) {
        showMessage(QMessageBox::Warning, QString::fromUtf8(kCaptionWarning),
                    loadErrorText(*notRegular));
        buildRecentMenu();
        return 1;
    }
    switch (classifyFile(path)) {
        case FileKind::Drawing: {
            DrawingReadResult read = readDrawing(path);
            OpenResult& opened = read.open;
            if (opened.cancelled) {
                // Nothing changes: the drawing, its view and the status line stay.
                return 0;
            }
            if (opened.ok()) {
                graphics_->finishPictures();
                installDrawing(state_, std::move(*opened.model));
                if (read.boxes) {
                    // Built on the reading thread; the renderer checks them against the store.
                    state_.renderer.adoptElementCache(std::move(read.boxes));
                }
                loadWarning_ = QString::fromStdString(opened.warning);
                // The window's view is fitted to the drawing first: a large drawing's picture is
                // then drawn on the window's worker thread while this thread renders the
                // thumbnail, with a view of its own.
                graphics_->drawingLoaded();
                if (addToList) {
                    const int index = documentList_->list().addDrawing(
                        localFileName(path), state_.drawing, state_.renderer);
                    documentList_->itemAdded(index);
                }
                layerPanel_->refresh();
                updateStatusFields();
                setStatusText(StatusMessagePart, loadWarning_);  // clears an earlier warning
                if (!zipFolders_.isInZipTempFolder(localFileName(path))) {
                    recent_.addRecentFile(path);  // an unpacked copy goes with the program
                }
                buildScaleMenu();
                activateWindow();
                setFocus(Qt::OtherFocusReason);
            } else {
                rejected = 1;
                if (!opened.error.empty()) {
                    showMessage(QMessageBox::Warning, QString::fromUtf8(kCaptionWarning),
                                loadErrorText(QString::fromStdString(opened.error)));
                }
            }
            break;
        }
        case FileKind::Zip:
            // Its drawings come back through this function; their rejections are reported
            // there and not counted here.
            openZip(path, rebuildRecentMenu);
            break;
        case FileKind::Archive:
            openArchive(path);
            recent_.addRecentFile(path);
            break;
        case FileKind::Other:
            rejected = 1;
            break;
    }
    buildRecentMenu();
    return rejected;
}

struct MainWindow::BackgroundLoad {
    explicit BackgroundLoad(DrawingRead& r) : read(r) {}
    DrawingRead& read;
    QEventLoop loop;
    bool announced = false;  // backgroundLoadStarted was emitted
};

// The longest the window blocks on a load before it answers input again.
constexpr int kAnswerWithinMs = 25;

void MainWindow::setStartedRead(std::unique_ptr<DrawingRead> read) {
    startedRead_ = std::move(read);
}

DrawingReadResult MainWindow::readDrawing(const QString& path) {
    const std::string local = localFileName(path);
    // The read begun at the program's start serves the first open of its file only.
    std::unique_ptr<DrawingRead> read = std::move(startedRead_);
    if (read && read->path() != local) {
        read.reset();
    }
    // A load asked for while another runs in the background (a nested intake) is read here at
    // once.
    if (loading_ || backgroundLoadDelayMs_ < 0) {
        if (read) {
            return read->take();
        }
        return DrawingReadResult{openDrawing(local), nullptr};
    }
    if (!read) {
        read = std::make_unique<DrawingRead>(local);
    }
    // The window blocks for no longer than it may take to answer input; a load that takes
    // longer goes on while the window runs its event loop.
    const auto started = std::chrono::steady_clock::now();
    const int blockMs = std::min(backgroundLoadDelayMs_, kAnswerWithinMs);
    if (blockMs > 0 && read->finished(std::chrono::milliseconds(blockMs))) {
        return read->take();
    }
    BackgroundLoad load(*read);
    loading_ = &load;
    setIntakeEnabled(false);
    // Longer than the delay: the wait cursor and "Lade <name> … n %" show.
    bool shown = false;
    QString before;
    const QString name = fileNameOfPath(path);
    auto showProgress = [&] {
        if (!shown) {
            if (std::chrono::steady_clock::now() - started <
                std::chrono::milliseconds(backgroundLoadDelayMs_)) {
                return;
            }
            shown = true;
            before = statusText(StatusMessagePart);
            QApplication::setOverrideCursor(Qt::WaitCursor);
        }
        setStatusText(StatusMessagePart,
                      QStringLiteral("Lade %1 … %2 %").arg(name).arg(read->percent()));
        if (!load.announced) {
            load.announced = true;
            emit backgroundLoadStarted(path);
        }
    };
    QTimer poll;
    poll.setInterval(20);
    connect(&poll, &QTimer::timeout, &load.loop, [&] {
        if (read->finished()) {
            load.loop.quit();
        } else {
            showProgress();
        }
    });
    poll.start();
    showProgress();
    if (!read->cancelled() && !read->finished()) {
        load.loop.exec();
    }
    // The loop also ends when the program quits: a load that is not complete then is dropped.
    if (!read->finished()) {
        read->cancel();
    }
    poll.stop();
    setIntakeEnabled(true);
    if (shown) {
        QApplication::restoreOverrideCursor();
        setStatusText(StatusMessagePart, before);
    }
    loading_ = nullptr;
    if (read->cancelled()) {
        // Only a complete load that nobody cancelled replaces the drawing. The reader stops at
        // its next step, or after the element boxes it is building: the window goes on without
        // waiting for it.
        if (!read->finished()) {
            cancelledReads_.push_back(std::move(read));
            if (!cancelledReadsPoll_) {
                cancelledReadsPoll_ = new QTimer(this);
                cancelledReadsPoll_->setInterval(50);
                connect(cancelledReadsPoll_, &QTimer::timeout, this, &MainWindow::dropEndedReads);
            }
            cancelledReadsPoll_->start();
        }
        DrawingReadResult cancelled;
        cancelled.open.cancelled = true;
        return cancelled;
    }
    return read->take();
}

void MainWindow::dropEndedReads() {
    std::erase_if(cancelledReads_,
                  [](const std::unique_ptr<DrawingRead>& r) { return r->finished(); });
    if (cancelledReads_.empty() && cancelledReadsPoll_) {
        cancelledReadsPoll_->stop();
    }
}

void MainWindow::cancelLoad() {
    if (loading_) {
        loading_->read.cancel();
        loading_->loop.quit();
    }
}

void MainWindow::setIntakeEnabled(bool enabled) {
    setAcceptDrops(enabled);
    for (QMenu* menu : {fileMenu_, frameContextMenu_, listContextMenu_}) {
        for (QAction* a : menu->actions()) {
            if (!isIntakeCommand(a->data().toInt())) {
                continue;
            }
            if (!enabled) {
                a->setProperty("enabledBeforeLoad", a->isEnabled());
                a->setEnabled(false);
            } else if (a->property("enabledBeforeLoad").isValid()) {
                a->setEnabled(a->property("enabledBeforeLoad").toBool());
                a->setProperty("enabledBeforeLoad", QVariant());
            }
        }
    }
}

void MainWindow::openArchive(const QString& path) {
    // A list is only replaced by an archive that could be read: when the file or its thumbnails
    // cannot be read, the list that is shown stays.
    DocumentList& list = documentList_->list();
    const DocumentList::LoadResult result = list.loadArchive(localFileName(path));
    if (!result.ok) {
        const bool plain = result.message == kArchiveLoadBadImages;
        showMessage(plain ? QMessageBox::NoIcon : QMessageBox::Warning,
                    QString::fromUtf8(kCaptionWarning), QString::fromStdString(result.message));
        return;
    }
    documentList_->rebuild();
    if (!result.message.empty()) {
        // The thumbnails were read, the items were not.
        showMessage(QMessageBox::Warning, QString::fromUtf8(kCaptionWarning),
                    QString::fromStdString(result.message));
    }
    QStringList notes;
    for (const std::string& warning : result.warnings) {
        notes << QString::fromStdString(warning);
    }
    if (!notes.isEmpty()) {
        showMessage(QMessageBox::Warning, QString::fromUtf8(kCaptionWarning),
                    path + QStringLiteral(":\n") + notes.join(QLatin1Char('\n')));
    }
}

// While a zip file is packed or unpacked the progress bar stands in place of the status line and
// the title shows the caption of the run. The work runs on this thread; between reads the window
// repaints, while mouse and keyboard input waits until the run is over.
class MainWindow::ZipRun {
  public:
    explicit ZipRun(MainWindow& window) : window_(window), title_(window.windowTitle()) {
        window_.zipRunning_ = true;
        QProgressBar* bar = window_.progressBar_;
        bar->setGeometry(window_.statusRect());
        window_.statusLine_->hide();
        bar->show();
        bar->setRange(0, 1);
        bar->setValue(0);
        progress_.initProgress(kMainWindowProgressFields);
        ProgressSink sink;
        sink.setTitle = [this](const std::string& title) {
            window_.setWindowTitle(fileNameFromLocal(QByteArray::fromStdString(title)));
        };
        sink.setBarRange = [bar](int, int steps) {
            bar->setRange(0, std::max(steps, 1));
            bar->setValue(0);
        };
        sink.stepBar = [bar](int) { bar->setValue(std::min(bar->value() + 1, bar->maximum())); };
        sink.keepAlive = [] {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        };
        progress_.attachProgress(std::move(sink));
    }
    ~ZipRun() {
        window_.progressBar_->hide();
        window_.statusLine_->show();
        window_.setWindowTitle(title_);
        window_.zipRunning_ = false;
    }
    ZipRun(const ZipRun&) = delete;
    ZipRun& operator=(const ZipRun&) = delete;

    Progress& progress() { return progress_; }

  private:
    MainWindow& window_;
    QString title_;
    Progress progress_;
};

void MainWindow::openZip(const QString& path, bool rebuildRecentMenu) {
    const std::string zipPath = localFileName(path);
    // One new folder per opening; it goes with its contents when the window closes.
    const auto folder = zipFolders_.makeZipTempFolder(zipPath);
    if (!folder) {
        showMessage(QMessageBox::Information, QString::fromUtf8(kZipInfoCaption),
                    QString::fromUtf8(kZipNotUnpackedText));
        return;
    }
    std::vector<UnpackedDrawing> drawings;
    {
        ZipRun run(*this);
        drawings = unpackZip(ZipSource{zipPath}, *folder, run.progress());
    }
    if (!zipErrorLog().empty()) {
        // Nothing of a zip file that did not unpack cleanly is opened; the log's lines (some
        // of them the zip library's own) follow a plain German headline.
        showMessage(
            QMessageBox::Warning, QString::fromUtf8(kZipErrorCaption),
            QStringLiteral("Aus der Zip-Datei %1 wurde nichts geöffnet:\n\n%2")
                .arg(path, fileNameFromLocal(QByteArray::fromStdString(zipErrorLog())).trimmed()));
        return;
    }
    QStringList paths;
    for (const UnpackedDrawing& drawing : drawings) {
        paths << fileNameFromLocal(QByteArray::fromStdString(drawing.path));
    }
    openFileList(paths, rebuildRecentMenu);
    recent_.addRecentFile(path);
}

void MainWindow::packListAsZip(const QString& path) {
    const std::vector<std::string> paths = documentList_->list().collectPaths();
    if (countUmlautNames(paths) > 0 &&
        !questionHandler_({QMessageBox::Question, QString::fromUtf8(kUmlautCaption),
                           QString::fromUtf8(kUmlautQuestion)})) {
        return;
    }
    {
        ZipRun run(*this);
        // The save dialog has asked before replacing an existing file.
        packZip(localFileName(path), paths, PackOptions{}, run.progress());
    }
    if (!zipErrorLog().empty()) {
        showMessage(QMessageBox::Warning, QString::fromUtf8(kZipErrorCaption),
                    fileNameFromLocal(QByteArray::fromStdString(zipErrorLog())).trimmed());
    }
}

bool MainWindow::currentEntryFromZip() const {
    const DocumentEntry* entry = documentList_->currentEntry();
    return entry != nullptr && zipFolders_.isInZipTempFolder(entry->path());
}

void MainWindow::copyListEntryOut() {
    if (!currentEntryFromZip()) {
        return;  // the command is greyed for such items
    }
    const std::string source = documentList_->currentEntry()->path();
    const std::size_t slash = source.rfind('/');
    if (slash == std::string::npos) {
        return;
    }
    dialogMemory_.setLastFileName(
        fileNameFromLocal(QByteArray::fromStdString(source.substr(slash + 1))));
    const QString chosen = saveRunner_(dialogMemory_.saveDialogSetup(true));
    if (chosen.isEmpty()) {
        return;
    }
    const QString target = dialogMemory_.acceptSaveChoice(resolveLossyFileName(chosen));
    if (const auto why = copyRegularFile(source, localFileName(target))) {
        showMessage(QMessageBox::Warning, QString::fromUtf8(kCaptionWarning),
                    QStringLiteral("Die Zeichnung wurde nicht kopiert.\n") + *why);
    }
}

bool MainWindow::showListEntry(int index) {
    if (loading_) {
        return false;
    }
    const auto& items = documentList_->list().items();
    if (index < 0 || static_cast<std::size_t>(index) >= items.size()) {
        return false;
    }
    const std::string stored = items[static_cast<std::size_t>(index)].entry.path();
    // Archives made elsewhere hold paths of that machine; a drawing of the same name beside the
    // archive is taken instead. The archive itself is not changed.
    const auto found = locateListedDrawing(stored, documentList_->list().archiveFolder());
    if (!found) {
        showMessage(QMessageBox::Warning, QString::fromUtf8(kCaptionWarning),
                    QString::fromStdString(listedDrawingMissingMessage(stored)));
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int rejected =
        openFile(fileNameFromLocal(QByteArray::fromStdString(*found)), false, false);
    QApplication::restoreOverrideCursor();
    graphics_->zoomAll();
    updateStatusFields();
    buildScaleMenu();
    return rejected == 0;
}

void MainWindow::refreshListEntry() {
    const int index = documentList_->currentEntryIndex();
    if (index < 0) {
        return;
    }
    // The new thumbnail shows the file as it is on disk now; when it cannot be opened, the old
    // thumbnail stays rather than showing whatever drawing happens to be loaded.
    if (!showListEntry(index)) {
        return;
    }
    if (documentList_->list().refreshThumbnail(index, state_.drawing, state_.renderer)) {
        documentList_->updateThumbnail(index);
    }
}

void MainWindow::showListInformation() {
    if (const DocumentEntry* entry = documentList_->currentEntry()) {
        DrawingInfoDialog dialog(*entry, this);
        infoRunner_(dialog);
    }
}

void MainWindow::saveList() {
    const QString chosen = saveRunner_(dialogMemory_.saveDialogSetup(false));
    if (chosen.isEmpty()) {
        return;
    }
    const QString path = dialogMemory_.acceptSaveChoice(resolveLossyFileName(chosen));
    if (isZipFile(path, false)) {
        packListAsZip(path);
        return;
    }
    const std::string why = documentList_->list().saveArchive(localFileName(path));
    if (!why.empty()) {
        // The reason starts with "Speichern fehl!"; an earlier archive of that name is kept.
        showMessage(QMessageBox::NoIcon, QString::fromUtf8(kCaptionWarning),
                    QString::fromStdString(why));
    }
}

int MainWindow::openFileList(const QStringList& paths, bool rebuildRecentMenu) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    int rejected = 0;
    for (const QString& path : paths) {
        rejected += openFile(path, false, true);
    }
    QApplication::restoreOverrideCursor();
    setStatusText(StatusMessagePart, QString());
    showLoadWarning();
    if (rejected > 0) {
        showMessage(QMessageBox::Information, QString::fromUtf8(kCaptionWarning),
                    rejectedCountText(rejected));
    }
    updateStatusFields();
    if (rebuildRecentMenu) {
        buildRecentMenu();
    }
    if (rejected > 0) {
        explainRejectedFiles(rejected);
    }
    return rejected;
}

void MainWindow::explainRejectedFiles(int count) {
    showMessage(QMessageBox::Warning, QString::fromUtf8(kCaptionInformation),
                rejectedExplanationText(count));
}

void MainWindow::handleDroppedFiles(const QStringList& paths) {
    if (loading_) {
        return;  // drops are not taken while a drawing is read
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    int rejected = 0;
    for (const QString& path : paths) {
        rejected += openFile(path, true, true);
    }
    QApplication::restoreOverrideCursor();
    setStatusText(StatusMessagePart, QString());
    showLoadWarning();
    graphics_->zoomAll();
    updateStatusFields();
    buildScaleMenu();
    if (rejected > 0) {
        explainRejectedFiles(rejected);
    }
}

void MainWindow::showLoadWarning() {
    if (!loadWarning_.isEmpty()) {
        setStatusText(StatusMessagePart, loadWarning_);
    }
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    const QMimeData* mime = event->mimeData();
    if (mime && mime->hasUrls()) {
        for (const QUrl& url : mime->urls()) {
            if (url.isLocalFile()) {
                event->acceptProposedAction();
                return;
            }
        }
    }
    event->ignore();
}

void MainWindow::dropEvent(QDropEvent* event) {
    QStringList paths;
    if (const QMimeData* mime = event->mimeData()) {
        for (const QUrl& url : mime->urls()) {
            if (url.isLocalFile()) {
                paths << localFileFromUrl(url);
            }
        }
    }
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    handleDroppedFiles(paths);
}

// ---- Status line and title ----

void MainWindow::setStatusText(int part, const QString& text) {
    statusLine_->setText(part, text);
}

QString MainWindow::statusText(int part) const {
    return statusLine_->text(part);
}

void MainWindow::updateStatusFields() {
    const QString path = pathFromModel(state_.drawing.currentDrawingPath);
    if (path.isEmpty()) {
        return;
    }
    const auto fields = statusFieldsForFile(path);
    if (!fields) {
        return;  // the file cannot be read now: keep what is shown
    }
    setStatusText(StatusFileNamePart, fields->fileName);
    setStatusText(StatusFormatPart, fields->formatCode);
    setStatusText(StatusDatePart, fields->date);
    setStatusText(StatusSizePart, fields->size);
    updateLayerCount();
    updateTitle();
    executeCommand(CmdMeasureOff);
}

void MainWindow::updateLayerCount() {
    setStatusText(StatusLayerPart, layerCountText(state_.drawing));
}

void MainWindow::updateTitle() {
    const QString path = pathFromModel(state_.drawing.currentDrawingPath);
    if (path.isEmpty()) {
        return;
    }
    ZipOrigin origin;
    const std::string& local = state_.drawing.currentDrawingPath;
    if (zipFolders_.isInZipTempFolder(local)) {
        origin.inZipTempFolder = true;
        if (const auto zip = zipFolders_.zipOfTempPath(local)) {
            origin.zipPath = fileNameFromLocal(QByteArray::fromStdString(*zip));
        }
    }
    if (const auto title = planora::windowTitle(settings_.titleMode(), path, origin)) {
        setWindowTitle(*title);
    }
}

// ---- Layout ----

QRect MainWindow::statusRect() const {
    const int s = statusLine_->sizeHint().height();
    return QRect(0, client_->height() - s, client_->width(), s);
}

QRect MainWindow::graphicsRect() const {
    const int h = client_->height() - statusRect().height();
    return QRect(kGraphicsLeft, 0, std::max(0, client_->width() - kGraphicsLeft), std::max(0, h));
}

QRect MainWindow::documentListRect() const {
    const int h = client_->height() - statusRect().height();
    return QRect(0, 0, kDocumentListWidth, std::max(0, h));
}

void MainWindow::layoutChildren() {
    statusLine_->setGeometry(statusRect());
    documentList_->setGeometry(documentListRect());
    if (layerPanel_) {
        layerPanel_->setGeometry(documentListRect());
    }
    graphics_->setGeometry(graphicsRect());
    progressBar_->setGeometry(statusRect());
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    layoutChildren();
}

// ---- Wheel, position and shutdown ----

void MainWindow::wheelEvent(QWheelEvent* event) {
    // Wheel turns over the rest of the window zoom the drawing about the cursor too.
    const int delta = event->angleDelta().y();
    if (delta != 0) {
        graphics_->zoomAtGlobalPoint(event->globalPosition().toPoint(), delta < 0 ? 0.8 : 1.25);
    }
    event->accept();
}

namespace {

// The screen whose available area holds `devicePoint` (a point in device pixels).
const QScreen* screenAtDevicePoint(const QPoint& devicePoint) {
    for (const QScreen* candidate : QGuiApplication::screens()) {
        const qreal ratio = candidate->devicePixelRatio();
        const QRect area = candidate->availableGeometry();
        // Screens are placed in logical pixels at their device-pixel origin's logical position.
        const QRect device(area.topLeft(), area.size() * ratio);
        if (device.contains(devicePoint)) {
            return candidate;
        }
    }
    return nullptr;
}

}  // namespace

void MainWindow::restoreWindowPosition() {
    const auto geometry = settings_.loadWindowPosition();
    if (!geometry) {
        resize(1000, 700);
        return;
    }
    // The stored values are device pixels, as the screen counts them; with a scale factor the
    // window's own coordinates are that many times smaller.
    const QRect wanted(geometry->x, geometry->y, geometry->width, geometry->height);
    // The screen the window was on; a place on no screen any more (a display was removed) goes
    // to the primary screen, where the system places the window.
    const QScreen* screen = screenAtDevicePoint(wanted.topLeft());
    bool placed = screen != nullptr;
    if (!placed) {
        for (const QScreen* candidate : QGuiApplication::screens()) {
            if (candidate->availableVirtualGeometry().intersects(wanted)) {
                placed = true;
                break;
            }
        }
        screen = QGuiApplication::primaryScreen();
    }
    const qreal ratio = screen ? screen->devicePixelRatio() : 1.0;
    QSize size(static_cast<int>(wanted.width() / ratio), static_cast<int>(wanted.height() / ratio));
    // A stored size beyond the screen (a damaged or hand-made value, or one stored at a smaller
    // scale factor) would make a window larger than any display, and an image of that size
    // behind it: it is cut to the available area.
    if (screen) {
        size = size.boundedTo(screen->availableGeometry().size());
    }
    resize(size);
    if (placed) {
        const QRect area = screen->availableGeometry();
        // Positions are kept in device pixels relative to the screen's own origin.
        const QPoint offset = wanted.topLeft() - area.topLeft();
        move(area.topLeft() +
             QPoint(static_cast<int>(offset.x() / ratio), static_cast<int>(offset.y() / ratio)));
    }
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!fittedOnScreen_) {
        fittedOnScreen_ = true;
        fitFrameOnScreen();
        // A window manager reports its decorations a moment after the window is mapped.
        QTimer::singleShot(200, this, &MainWindow::fitFrameOnScreen);
    }
}

void MainWindow::fitFrameOnScreen() {
    const QScreen* at = screen();
    if (!at || isMaximized() || isFullScreen()) {
        return;
    }
    const QRect area = at->availableGeometry();
    const QRect frame = frameGeometry();
    const QSize extra = frame.size() - size();  // title bar and borders
    const QSize fitting = size().boundedTo(area.size() - extra);
    if (fitting != size()) {
        resize(fitting);
    }
    // Keep the title bar reachable: the frame's top left stays inside the screen.
    QPoint topLeft = frame.topLeft();
    topLeft.setX(
        std::clamp(topLeft.x(), area.left(),
                   std::max(area.left(), area.right() + 1 - (fitting.width() + extra.width()))));
    topLeft.setY(
        std::clamp(topLeft.y(), area.top(),
                   std::max(area.top(), area.bottom() + 1 - (fitting.height() + extra.height()))));
    if (topLeft != frame.topLeft()) {
        move(topLeft);
    }
}

void MainWindow::saveWindowPosition() {
    // The frame's position and the client size in device pixels: loading gives them back to
    // move() and resize() at the scale factor of that start.
    const QScreen* at = screen();
    const qreal ratio = at ? at->devicePixelRatio() : 1.0;
    const QPoint origin = at ? at->availableGeometry().topLeft() : QPoint();
    const QPoint p = origin + (pos() - origin) * ratio;
    const int w = qRound(width() * ratio);
    const int h = qRound(height() * ratio);
    const WindowRect rect{p.x(), p.y(), p.x() + w, p.y() + h};
    settings_.saveWindowPosition(rect, isMinimized());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == graphics_) {
        switch (event->type()) {
            case QEvent::Enter:
            case QEvent::MouseMove:
                if (!pointerInGraphics_) {
                    pointerInGraphics_ = true;
                    updateTooltipHold();
                }
                break;
            case QEvent::Leave:
                pointerInGraphics_ = false;
                updateTooltipHold();
                break;
            default:
                break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange) {
        windowInactive_ = !isActiveWindow();
        updateTooltipHold();
    } else if (event->type() == QEvent::WindowStateChange) {
        updateTooltipHold();
    }
}

void MainWindow::updateTooltipHold() {
    if (tooltip_) {
        tooltip_->setHeldBack(!pointerInGraphics_ || windowInactive_ || isMinimized());
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (zipRunning_) {
        // A zip file is being written or unpacked: it finishes first.
        event->ignore();
        return;
    }
    cancelLoad();
    if (!shutDown_) {
        shutDown_ = true;
        zipFolders_.deleteAll();
        recent_.saveRecentFiles(settings_);
        saveWindowPosition();
        settings_.sync();
        setAcceptDrops(false);
    }
    if (logo_) {
        logo_->close();
    }
    event->accept();
}

}  // namespace planora
