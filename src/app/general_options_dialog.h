// The dialog "Allgemeine Einstellungen": what the title bar shows, printing drawings from the file
// manager, and a one-shot request for a launcher on the desktop. The dialog only collects the
// choices; the main window carries them out when it was confirmed.
#pragma once

#include <QDialog>

#include <array>
#include <optional>

class QCheckBox;
class QRadioButton;

namespace planora {

class GeneralOptionsDialog : public QDialog {
    Q_OBJECT
  public:
    // `titleMode` 0, 1 or 2 checks its radio button; any other value checks none.
    GeneralOptionsDialog(int titleMode, bool printToChecked, QWidget* parent = nullptr);

    // The title mode of the checked radio button, or nothing when none is checked.
    std::optional<int> chosenTitleMode() const;
    bool printToChecked() const;
    bool shortcutChecked() const;

    QRadioButton* titleButton(int mode) const { return titleButtons_.at(mode); }
    QCheckBox* printToBox() const { return printTo_; }
    QCheckBox* shortcutBox() const { return shortcut_; }

  private:
    std::array<QRadioButton*, 3> titleButtons_{};
    QCheckBox* printTo_ = nullptr;
    QCheckBox* shortcut_ = nullptr;
};

}  // namespace planora
