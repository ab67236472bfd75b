#include "file_filters.h"

#include "ascii_text.h"

#include "settings_store.h"

namespace planora {

namespace {

// "*.*" matches every file where it comes from, but only names with a dot here; the dialog
// entry therefore lists "*" while choices are still matched against "*.*".
FileFilter archives() {
    return {QStringLiteral("ArchivDateien (*.ad)"), QStringLiteral("*.ad")};
}
FileFilter zips() {
    return {QStringLiteral("Zip-Dateien (*.zip)"), QStringLiteral("*.zip")};
}
FileFilter allFiles() {
    return {QStringLiteral("Alle Dateien (*)"), QStringLiteral("*.*")};
}

}  // namespace

std::vector<FileFilter> dialogFilters(DialogFilter which) {
    switch (which) {
        case DialogFilter::Open:
            return {archives(),
                    {QStringLiteral("Zeichnungen (*.akt)"), QStringLiteral("*.akt")},
                    zips(),
                    allFiles()};
        case DialogFilter::SaveWithDrawings:
            return {{QStringLiteral("kvn-cad-Dateien (*.akt)"), QStringLiteral("*.akt")},
                    archives(),
                    zips(),
                    allFiles()};
        case DialogFilter::SaveWithoutDrawings:
            return {archives(), zips(), allFiles()};
    }
    return {};
}

QString qtFilterString(const std::vector<FileFilter>& filters) {
    QStringList texts;
    for (const FileFilter& f : filters) {
        texts.append(f.text);
    }
    return texts.join(QStringLiteral(";;"));
}

int filterIndex(const std::vector<FileFilter>& filters, const std::optional<QString>& remembered) {
    if (remembered) {
        for (std::size_t i = 0; i < filters.size(); ++i) {
            if (asciiEqualsIgnoreCase(filters[i].pattern, *remembered)) {
                return static_cast<int>(i) + 1;
            }
        }
    }
    return 1;
}

std::optional<QString> patternForChosenFile(const QString& path) {
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0) {
        return std::nullopt;
    }
    return QStringLiteral("*") + name.mid(dot);
}

QString withDefaultSuffix(const QString& path, const QString& suffix) {
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    if (name.isEmpty() || name.contains(u'.')) {
        return path;
    }
    return path + u'.' + suffix;
}

DialogSetup FileDialogMemory::setup(DialogFilter which, const char* valueName) const {
    const auto filters = dialogFilters(which);
    const int index = filterIndex(filters, store_.readStringSetting(QString::fromUtf8(valueName)));
    return {qtFilterString(filters), filters[static_cast<std::size_t>(index - 1)].text,
            lastFileName_};
}

DialogSetup FileDialogMemory::openDialogSetup() const {
    return setup(DialogFilter::Open, kLastOpenedExtensionValue);
}

DialogSetup FileDialogMemory::saveDialogSetup(bool withDrawings) const {
    return setup(withDrawings ? DialogFilter::SaveWithDrawings : DialogFilter::SaveWithoutDrawings,
                 kLastSavedExtensionValue);
}

void FileDialogMemory::remember(const char* valueName, const QString& path) {
    lastFileName_ = path;
    if (auto pattern = patternForChosenFile(path)) {
        store_.writeStringSetting(QString::fromUtf8(valueName), *pattern);
    }
}

QString FileDialogMemory::acceptOpenChoice(const QString& path) {
    remember(kLastOpenedExtensionValue, path);
    return path;
}

QString FileDialogMemory::acceptSaveChoice(const QString& path) {
    const QString chosen = withDefaultSuffix(path, QStringLiteral("zip"));
    remember(kLastSavedExtensionValue, chosen);
    return chosen;
}

}  // namespace planora
