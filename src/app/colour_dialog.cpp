#include "colour_dialog.h"

#include "message_box_layout.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>

#include <algorithm>

namespace planora {

namespace {

// The dialog is laid out in dialog units of an 8-point font, as it was designed.
QRect dialogUnits(int x, int y, int w, int h) {
    auto px = [](int v) { return v * 3 / 2; };
    auto py = [](int v) { return v * 13 / 8; };
    return QRect(px(x), py(y), px(w), py(h));
}

QColor qColour(std::uint32_t colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

int component(std::uint32_t colour, int bar) {
    return static_cast<int>((colour >> (8 * bar)) & 0xFF);
}

// A 3-D frame 2 pixels outside `r`: left and top edges in a third of the frame colour, right
// and bottom edges in the frame colour itself.
void drawFrame(QPainter& painter, const QRect& r, const QColor& colour) {
    const QRect outer = r.adjusted(-2, -2, 2, 2);
    const QColor dark(colour.red() / 3, colour.green() / 3, colour.blue() / 3);
    painter.fillRect(QRect(outer.left(), outer.top(), 2, outer.height()), dark);
    painter.fillRect(QRect(outer.left(), outer.top(), outer.width(), 2), dark);
    painter.fillRect(QRect(outer.right() - 1, outer.top(), 2, outer.height()), colour);
    painter.fillRect(QRect(outer.left(), outer.bottom() - 1, outer.width(), 2), colour);
}

void showMessageBox(MessageIcon icon, const QString& caption, const QString& text) {
    QMessageBox box(
        icon == MessageIcon::Information ? QMessageBox::Information : QMessageBox::Warning, caption,
        text, QMessageBox::Ok);
    keepLineBreaks(box);
    box.exec();
}

}  // namespace

// A plain coloured rectangle.
class ColourSwatch : public QWidget {
  public:
    using QWidget::QWidget;
    void setColour(const QColor& colour) {
        if (colour != colour_) {
            colour_ = colour;
            update();
        }
    }
    QColor colour() const { return colour_; }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), colour_);
    }

  private:
    QColor colour_;
};

ColourDialog::ColourDialog(QWidget* parent, const QString& title, std::span<std::uint32_t> colours,
                           PenColourHooks::TakeOver takeOver, MessageFunction message)
    : QDialog(parent),
      callerColours_(colours),
      working_(colours.begin(), colours.end()),
      takeOver_(std::move(takeOver)),
      message_(std::move(message)),
      folderBrowser_([](QWidget* owner) {
          return QFileDialog::getExistingDirectory(
              owner, QStringLiteral("Suchen nach kvn-cad-Installation"), QString(),
              QFileDialog::ShowDirsOnly);
      }) {
    setWindowTitle(QStringLiteral("Einstellungen %1").arg(title));
    setFixedSize(dialogUnits(0, 0, 184, 206).size());

    auto* pensLabel = new QLabel(QStringLiteral("Stifte"), this);
    pensLabel->setGeometry(dialogUnits(18, 11, 56, 10));

    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("colourList"));
    list_->setGeometry(dialogUnits(16, 28, 75, 106));
    if (working_.size() == 1) {
        list_->addItem(QStringLiteral("Hintergrund"));
    } else {
        for (std::size_t i = 0; i < working_.size(); ++i) {
            list_->addItem(QStringLiteral("Stift %1").arg(i + 1));
        }
    }

    static const char* const kBarNames[3] = {"red", "green", "blue"};
    static const char* const kSwatchTexts[3] = {"r", "g", "b"};
    for (int bar = 0; bar < 3; ++bar) {
        auto* swatch = new ColourSwatch(this);
        swatch->setObjectName(QStringLiteral("swatch_%1").arg(kSwatchTexts[bar]));
        swatch->setGeometry(dialogUnits(106 + 20 * bar, 30, 10, 10));
        swatches_[bar] = swatch;

        auto* scrollBar = new QScrollBar(Qt::Vertical, this);
        scrollBar->setObjectName(QString::fromLatin1(kBarNames[bar]));
        scrollBar->setGeometry(dialogUnits(106 + 20 * bar, 44, 10, 90));
        // The top of a bar is full intensity: position = 255 - component.
        scrollBar->setRange(0, 255);
        scrollBar->setSingleStep(1);
        scrollBar->setPageStep(25);
        connect(scrollBar, &QScrollBar::valueChanged, this,
                [this, bar](int position) { barMoved(bar, position); });
        bars_[bar] = scrollBar;
    }
    swatches_[3] = new ColourSwatch(this);
    swatches_[3]->setObjectName(QStringLiteral("swatch_mixed"));
    swatches_[3]->setGeometry(dialogUnits(107, 12, 50, 13));

    group_ = new QGroupBox(QStringLiteral("kvn-cad Einstellungen"), this);
    group_->setGeometry(dialogUnits(13, 139, 158, 43));
    folder_ = new QLabel(this);
    folder_->setObjectName(QStringLiteral("installationFolder"));
    folder_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    folder_->setGeometry(dialogUnits(18, 150, 148, 11));
    takeOverButton_ = new QPushButton(QStringLiteral("Übernehmen"), this);
    takeOverButton_->setGeometry(dialogUnits(18, 163, 70, 14));
    takeOverButton_->setAutoDefault(false);
    browseButton_ = new QPushButton(QStringLiteral("Suchen nach ..."), this);
    browseButton_->setGeometry(dialogUnits(97, 163, 70, 14));
    browseButton_->setAutoDefault(false);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(dialogUnits(18, 185, 70, 14));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    cancel->setGeometry(dialogUnits(97, 185, 70, 14));
    cancel->setAutoDefault(false);

    connect(list_, &QListWidget::currentRowChanged, this, &ColourDialog::selectEntry);
    connect(ok, &QPushButton::clicked, this, &ColourDialog::confirm);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(takeOverButton_, &QPushButton::clicked, this, &ColourDialog::takeOverInstallation);
    connect(browseButton_, &QPushButton::clicked, this, &ColourDialog::browseForInstallation);

    if (const auto sydat = locateInstallationSettings()) {
        folder_->setText(QFileInfo(*sydat).path());
    } else {
        takeOverButton_->setEnabled(false);
    }
    if (working_.size() == 1) {
        for (QWidget* w :
             std::initializer_list<QWidget*>{group_, folder_, takeOverButton_, browseButton_}) {
            w->hide();
        }
    }

    list_->setCurrentRow(0);
    selectEntry(0);
}

ColourDialog::~ColourDialog() = default;

void ColourDialog::selectEntry(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= working_.size()) {
        return;
    }
    current_ = row;
    for (int bar = 0; bar < 3; ++bar) {
        const QSignalBlocker block(bars_[bar]);
        bars_[bar]->setValue(255 - component(working_[current_], bar));
    }
    updateSwatches();
}

void ColourDialog::barMoved(int bar, int position) {
    if (working_.empty()) {
        return;
    }
    position = std::clamp(position, 0, 255);
    const int shift = 8 * bar;
    std::uint32_t& colour = working_[current_];
    colour = (colour & ~(0xFFu << shift) & 0x00FFFFFFu) |
             (static_cast<std::uint32_t>(255 - position) << shift);
    updateSwatches();
}

void ColourDialog::updateSwatches() {
    const std::uint32_t colour = working_.empty() ? 0 : working_[current_];
    swatches_[0]->setColour(QColor(component(colour, 0), 0, 0));
    swatches_[1]->setColour(QColor(0, component(colour, 1), 0));
    swatches_[2]->setColour(QColor(0, 0, component(colour, 2)));
    swatches_[3]->setColour(qColour(colour));
}

void ColourDialog::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    static const QColor kBarFrames[3] = {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255)};
    for (int bar = 0; bar < 3; ++bar) {
        drawFrame(painter, bars_[bar]->geometry(), kBarFrames[bar]);
    }
    for (ColourSwatch* swatch : swatches_) {
        drawFrame(painter, swatch->geometry(), QColor(240, 240, 240));
    }
}

void ColourDialog::confirm() {
    std::copy(working_.begin(), working_.end(), callerColours_.begin());
    accept();
}

void ColourDialog::takeOverInstallation() {
    const QString folder = folder_->text();
    if (folder.isEmpty() || !takeOver_) {
        return;
    }
    if (takeOver_(QDir(folder).filePath(QStringLiteral("sydat")), callerColours_)) {
        accept();
    }
}

void ColourDialog::browseForInstallation() {
    const QString folder = folderBrowser_ ? folderBrowser_(this) : QString();
    if (folder.isEmpty()) {
        return;  // the browser was cancelled
    }
    QFile sydat(QDir(folder).filePath(QStringLiteral("sydat")));
    if (sydat.open(QIODevice::ReadOnly)) {
        folder_->setText(QDir::toNativeSeparators(folder));
        takeOverButton_->setEnabled(true);
        return;
    }
    if (message_) {
        message_(MessageIcon::Exclamation, QStringLiteral("Planora - Achtung"),
                 QStringLiteral("Keine kvn-cad-Einstellungen in diesem Verzeichnis gefunden"));
    }
    folder_->clear();
    takeOverButton_->setEnabled(false);
}

bool runColourDialog(QWidget* parent, const QString& title, std::span<std::uint32_t> colours,
                     const PenColourHooks::TakeOver& takeOver,
                     const ColourDialog::MessageFunction& message) {
    if (colours.empty()) {
        if (message) {
            message(MessageIcon::Exclamation, QStringLiteral("Achtung"),
                    QStringLiteral("Keine Farbtabelle gefunden!\nDialog wird abgebrochen!"));
        }
        return false;
    }
    ColourDialog dialog(parent, title, colours, takeOver, message);
    return dialog.exec() == QDialog::Accepted;
}

PenColourHooks widgetPenColourHooks(QWidget* parent,
                                    std::function<void(std::uint32_t)> thumbnailBackground) {
    PenColourHooks hooks;
    hooks.askYesNo = [](const QString& caption, const QString& text) {
        QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No);
        keepLineBreaks(box);
        return box.exec() == QMessageBox::Yes;
    };
    hooks.message = showMessageBox;
    hooks.colourDialog = [parent](const QString& title, std::span<std::uint32_t> colours,
                                  const PenColourHooks::TakeOver& takeOver) {
        return runColourDialog(parent, title, colours, takeOver, showMessageBox);
    };
    hooks.thumbnailBackground = std::move(thumbnailBackground);
    return hooks;
}

void initPenColours(QWidget* parent, ViewerState& state, SettingsStore& settings) {
    initPenColours(state, settings, widgetPenColourHooks(parent));
}

bool editPenColours(QWidget* parent, ViewerState& state, SettingsStore& settings) {
    return editPenColours(state, settings, widgetPenColourHooks(parent));
}

bool editBackgroundColour(QWidget* parent, ViewerState& state, SettingsStore& settings) {
    return editBackgroundColour(state, settings, widgetPenColourHooks(parent));
}

}  // namespace planora
