// Filters, initial file name and remembered file patterns of the open and save dialogs. The
// dialogs themselves belong to the main window; this module decides what they start with and
// what is remembered after a choice.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace planora {

class SettingsStore;

struct FileFilter {
    QString text;     // the entry as the dialog lists it, e.g. "Zeichnungen (*.akt)"
    QString pattern;  // the pattern remembered choices are matched against, e.g. "*.akt"
};

enum class DialogFilter {
    Open,                 // archives, drawings, zip files, all files
    SaveWithDrawings,     // drawings, archives, zip files, all files
    SaveWithoutDrawings,  // archives, zip files, all files
};

std::vector<FileFilter> dialogFilters(DialogFilter which);
// The filters in the dialog's syntax: entries separated by ";;".
QString qtFilterString(const std::vector<FileFilter>& filters);

// The 1-based filter whose pattern equals the remembered one (ASCII case ignored), else 1.
int filterIndex(const std::vector<FileFilter>& filters, const std::optional<QString>& remembered);

// The pattern remembered for a chosen file: "*" and the file name's text from its last ".";
// nothing when the file name has no ".".
std::optional<QString> patternForChosenFile(const QString& path);

// A name typed without extension gets the default one ("zip" for the save dialog).
QString withDefaultSuffix(const QString& path, const QString& suffix);

// What a dialog opens with.
struct DialogSetup {
    QString filters;         // qtFilterString of the dialog's filters
    QString selectedFilter;  // the entry to select
    QString initialFile;     // the last chosen file name
};

// The last chosen file name and the remembered patterns ("lastOpenedExtension",
// "lastSavedExtension") of both dialogs.
class FileDialogMemory {
  public:
    explicit FileDialogMemory(SettingsStore& store) : store_(store) {}

    DialogSetup openDialogSetup() const;
    DialogSetup saveDialogSetup(bool withDrawings) const;

    // After the user chose a file: keeps its path as the last file name and remembers its
    // pattern. The save dialog's result gets ".zip" when it was typed without extension; the
    // path that counts is returned.
    QString acceptOpenChoice(const QString& path);
    QString acceptSaveChoice(const QString& path);

    const QString& lastFileName() const { return lastFileName_; }
    void setLastFileName(const QString& path) { lastFileName_ = path; }

  private:
    DialogSetup setup(DialogFilter which, const char* valueName) const;
    void remember(const char* valueName, const QString& path);

    SettingsStore& store_;
    QString lastFileName_;
};

}  // namespace planora
