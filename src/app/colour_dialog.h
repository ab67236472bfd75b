// The colour dialog "Einstellungen FarbDialog": the pens 1 to 8 (or the background colour)
// with red, green and blue bars, their swatches, and the takeover of a kvn-cad installation's
// colours. Plus the widget versions of the pen colour commands.
#pragma once

#include <QDialog>

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "pen_colours.h"

class QLabel;
class QListWidget;
class QPushButton;
class QScrollBar;
class QGroupBox;

namespace planora {

class ColourSwatch;

class ColourDialog : public QDialog {
    Q_OBJECT
  public:
    using MessageFunction = std::function<void(MessageIcon, const QString&, const QString&)>;
    using FolderBrowser = std::function<QString(QWidget* owner)>;

    // Edits `colours` (8 pens or, with one colour, the background) in place when the user
    // confirms with "OK". "Übernehmen" runs `takeOver` on "<folder>/sydat" with `colours`
    // and ends the dialog when it succeeds.
    ColourDialog(QWidget* parent, const QString& title, std::span<std::uint32_t> colours,
                 PenColourHooks::TakeOver takeOver, MessageFunction message);
    ~ColourDialog() override;

    // The folder browser behind "Suchen nach ..." (a folder dialog unless replaced).
    void setFolderBrowser(FolderBrowser browser) { folderBrowser_ = std::move(browser); }

    // The working copy and the entry being edited.
    const std::vector<std::uint32_t>& workingColours() const { return working_; }
    int currentEntry() const { return current_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void selectEntry(int row);
    void barMoved(int bar, int position);
    void updateSwatches();
    void confirm();
    void takeOverInstallation();
    void browseForInstallation();

    std::span<std::uint32_t> callerColours_;
    std::vector<std::uint32_t> working_;
    int current_ = 0;
    PenColourHooks::TakeOver takeOver_;
    MessageFunction message_;
    FolderBrowser folderBrowser_;

    QListWidget* list_ = nullptr;
    std::array<QScrollBar*, 3> bars_{};
    std::array<ColourSwatch*, 4> swatches_{};  // red, green, blue, mixed
    QGroupBox* group_ = nullptr;
    QLabel* folder_ = nullptr;
    QPushButton* takeOverButton_ = nullptr;
    QPushButton* browseButton_ = nullptr;
};

// Runs the dialog modally. Returns whether the user confirmed ("OK" or a successful
// "Übernehmen"). Without colours it shows "Keine Farbtabelle gefunden! ..." and returns false.
bool runColourDialog(QWidget* parent, const QString& title, std::span<std::uint32_t> colours,
                     const PenColourHooks::TakeOver& takeOver,
                     const ColourDialog::MessageFunction& message);

// Message boxes without owner and the colour dialog on `parent`.
PenColourHooks widgetPenColourHooks(QWidget* parent,
                                    std::function<void(std::uint32_t)> thumbnailBackground = {});

// The commands with the real dialogs. The edits return whether colours changed; the caller
// then repaints the drawing.
void initPenColours(QWidget* parent, ViewerState& state, SettingsStore& settings);
bool editPenColours(QWidget* parent, ViewerState& state, SettingsStore& settings);
bool editBackgroundColour(QWidget* parent, ViewerState& state, SettingsStore& settings);

}  // namespace planora
