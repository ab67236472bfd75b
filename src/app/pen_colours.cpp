#include "pen_colours.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>
#include <memory>

namespace planora {

const char kFirstStartCaption[] = "Bitte wählen Sie ...";
const char kFirstStartQuestion[] =
    "Es sind noch keine Stifte und die zugehörigen Farben konfiguriert!\n Da Planora keine "
    "Installation von kvn-cad gefunden hat, wird es eine\n eigene Vorkonfiguration durchführen. "
    "Sie können aber auch jetzt in den\n Dialog für die Farb-Einstellungen wechseln.\n Möchten "
    "Sie die Einstellungen jetzt vornehmen?";
const char kDuplicatePensMessage[] =
    "Mehrere Stifte haben die gleiche Farbnummer.\nEs wird aber nur eine Farbnummer\n"
    "berücksichtigt!\n\nDie Stift-Farbzuweisung können Sie nur über die Systemeinstellungen\n"
    "des kvn-cad-Programms wieder korrigieren. Planora wird die Umstellung\nerst beim zweiten "
    "Aufruf von 'Übernehmen' im Farbendialog berücksich-\ntigen können.";
const char kInstallationNotFound[] = "Installation von -kvn cad- nicht gefunden!";
const char kColourDialogTitle[] = "FarbDialog";

namespace {

constexpr int kFirstPenLine = 76;
constexpr int kFirstColourLine = 351;
constexpr int kLastColourLine = 366;

// The built-in configuration: pen p on colour number p.
constexpr PenNumbers kFirstStartPens{1, 2, 3, 4, 5, 6, 7, 8};

void showMessage(const PenColourHooks& hooks, MessageIcon icon, const QString& caption,
                 const QString& text) {
    if (hooks.message) {
        hooks.message(icon, caption, text);
    }
}

ColourTable builtInColours() {
    ColourTable colours{};
    const auto& table = defaultColourTable();
    std::copy(table.begin(), table.end(), colours.begin());
    return colours;
}

std::optional<PenNumbers> storedPens(const SettingsStore& settings) {
    const auto stored = settings.penTable();
    if (!stored) {
        return std::nullopt;
    }
    return penNumbersFromStore(*stored);
}

void applyBackground(ViewerState& state, const PenColourHooks& hooks, std::uint32_t colour) {
    state.renderer.setBackgroundColour(colour);
    if (hooks.thumbnailBackground) {
        hooks.thumbnailBackground(colour);
    }
}

// Decimal reading as the drawing program writes its numbers: leading white space and a sign,
// then digits up to the first other character. Saturates instead of overflowing.
std::int64_t parseDecimal(const char* text) {
    const char* p = text;
    while (*p != '\0' && std::isspace(static_cast<unsigned char>(*p))) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / 10 - 10;
    std::int64_t value = 0;
    while (*p >= '0' && *p <= '9') {
        if (value < kLimit) {
            value = value * 10 + (*p - '0');
        }
        ++p;
    }
    return negative ? -value : value;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// One line as the "sydat" layout counts it: at most 127 characters, up to and including a line
// break.
bool readLine(std::FILE* file, char (&buffer)[128]) {
    return std::fgets(buffer, sizeof buffer, file) != nullptr;
}

// The program path at the start of an open command: either quoted (with backslash escapes, as
// desktop entries write them) or up to the first blank.
QString programOfCommand(const QString& command) {
    const QString text = command.trimmed();
    QString program;
    if (text.startsWith(QLatin1Char('"'))) {
        for (qsizetype i = 1; i < text.size(); ++i) {
            const QChar c = text[i];
            if (c == QLatin1Char('\\') && i + 1 < text.size()) {
                program += text[++i];
            } else if (c == QLatin1Char('"')) {
                break;
            } else {
                program += c;
            }
        }
    } else {
        const qsizetype blank = text.indexOf(QRegularExpression(QStringLiteral("\\s")));
        program = blank < 0 ? text : text.left(blank);
    }
    return program;
}

// The Exec line of the [Desktop Entry] group of a desktop file.
std::optional<QString> execLineOf(const QString& desktopFile) {
    QFile file(desktopFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return std::nullopt;
    }
    bool inEntry = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inEntry) {
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0 && line.left(equals).trimmed() == QLatin1String("Exec")) {
            const QString value = line.mid(equals + 1).trimmed();
            if (value.isEmpty()) {
                return std::nullopt;
            }
            return value;
        }
    }
    return std::nullopt;
}

}  // namespace

std::size_t colourIndex(std::int32_t colourNumber) {
    return colourNumber < 0 ? 0 : static_cast<std::size_t>(colourNumber) % 16;
}

void applyPenTable(Renderer& renderer, const PenNumbers& pens) {
    std::array<std::int32_t, 8> reduced{};
    for (std::size_t i = 0; i < pens.size(); ++i) {
        reduced[i] = static_cast<std::int32_t>(colourIndex(pens[i]));
    }
    renderer.setPenTable(reduced);
}

void applyColourTable(Renderer& renderer, const ColourTable& colours) {
    renderer.setColourPalette(colours);
}

PenNumbers penNumbersFromStore(const PenTable& stored) {
    PenNumbers pens{};
    for (std::size_t i = 0; i < pens.size(); ++i) {
        pens[i] = static_cast<std::int32_t>(stored[i]);
    }
    return pens;
}

PenTable penTableForStore(const PenNumbers& pens) {
    PenTable stored{};
    for (std::size_t i = 0; i < pens.size(); ++i) {
        stored[i] = static_cast<std::uint32_t>(pens[i]);
    }
    return stored;
}

bool hasDuplicatePens(const PenNumbers& pens) {
    for (std::size_t i = 0; i < pens.size(); ++i) {
        for (std::size_t j = i + 1; j < pens.size(); ++j) {
            if (pens[i] == pens[j]) {
                return true;
            }
        }
    }
    return false;
}

bool takeOverInstallationColours(const QString& sydatPath, std::span<std::uint32_t> dialogColours,
                                 ViewerState& state, SettingsStore& settings,
                                 const PenColourHooks& hooks) {
    const auto installation = readInstallationColours(sydatPath, hooks);
    if (!installation) {
        return false;
    }
    applyColourTable(state.renderer, installation->colours);
    settings.setColourTable(installation->colours);
    applyPenTable(state.renderer, installation->pens);
    settings.setPenTable(penTableForStore(installation->pens));
    for (std::size_t i = 0; i < dialogColours.size() && i < installation->pens.size(); ++i) {
        dialogColours[i] = installation->colours[colourIndex(installation->pens[i])];
    }
    return true;
}

void initPenColours(ViewerState& state, SettingsStore& settings, const PenColourHooks& hooks) {
    if (settings.readBinarySetting(kBackgroundColourValue, 4)) {
        applyBackground(state, hooks, settings.backgroundColour());
    } else {
        state.renderer.setBackgroundColour(0);
    }

    const auto pens = storedPens(settings);
    const auto colours = settings.colourTable();
    if (pens && colours) {
        applyColourTable(state.renderer, *colours);
        applyPenTable(state.renderer, *pens);
        return;
    }

    const bool wantsDialog =
        hooks.askYesNo && hooks.askYesNo(QString::fromUtf8(kFirstStartCaption),
                                         QString::fromUtf8(kFirstStartQuestion));
    ColourTable table = builtInColours();
    if (wantsDialog) {
        std::array<std::uint32_t, 8> dialogColours{};
        for (std::size_t i = 0; i < dialogColours.size(); ++i) {
            dialogColours[i] = table[colourIndex(kFirstStartPens[i])];
        }
        const PenColourHooks::TakeOver takeOver = [&](const QString& path,
                                                      std::span<std::uint32_t> target) {
            return takeOverInstallationColours(path, target, state, settings, hooks);
        };
        if (!hooks.colourDialog ||
            !hooks.colourDialog(QString::fromUtf8(kColourDialogTitle), dialogColours, takeOver)) {
            return;  // nothing stored: the question comes again at the next start
        }
        for (std::size_t i = 0; i < dialogColours.size(); ++i) {
            table[colourIndex(kFirstStartPens[i])] = dialogColours[i];
        }
        applyColourTable(state.renderer, table);
        settings.setColourTable(table);
        applyPenTable(state.renderer, kFirstStartPens);
        settings.setPenTable(penTableForStore(kFirstStartPens));
        return;
    }
    applyPenTable(state.renderer, kFirstStartPens);
    settings.setPenTable(penTableForStore(kFirstStartPens));
    applyColourTable(state.renderer, table);
    settings.setColourTable(table);
}

bool editPenColours(ViewerState& state, SettingsStore& settings, const PenColourHooks& hooks) {
    const auto pens = storedPens(settings);
    auto colours = settings.colourTable();
    if (!pens || !colours) {
        return false;
    }
    std::array<std::uint32_t, 8> dialogColours{};
    for (std::size_t i = 0; i < dialogColours.size(); ++i) {
        dialogColours[i] = (*colours)[colourIndex((*pens)[i])];
    }
    const PenColourHooks::TakeOver takeOver = [&](const QString& path,
                                                  std::span<std::uint32_t> target) {
        return takeOverInstallationColours(path, target, state, settings, hooks);
    };
    if (!hooks.colourDialog ||
        !hooks.colourDialog(QString::fromUtf8(kColourDialogTitle), dialogColours, takeOver)) {
        return false;
    }
    // With two pens on one colour number the later pen's colour wins.
    for (std::size_t i = 0; i < dialogColours.size(); ++i) {
        (*colours)[colourIndex((*pens)[i])] = dialogColours[i];
    }
    applyColourTable(state.renderer, *colours);
    settings.setColourTable(*colours);
    if (hasDuplicatePens(*pens)) {
        showMessage(hooks, MessageIcon::Information, QStringLiteral("Achtung"),
                    QString::fromUtf8(kDuplicatePensMessage));
    }
    return true;
}

bool editBackgroundColour(ViewerState& state, SettingsStore& settings,
                          const PenColourHooks& hooks) {
    std::array<std::uint32_t, 1> colour{settings.backgroundColour()};
    if (!hooks.colourDialog ||
        !hooks.colourDialog(QString::fromUtf8(kColourDialogTitle), colour, {})) {
        return false;
    }
    settings.setBackgroundColour(colour[0]);
    applyBackground(state, hooks, colour[0]);
    return true;
}

std::optional<InstallationColours> readInstallationColours(const QString& sydatPath,
                                                           const PenColourHooks& hooks) {
    std::unique_ptr<std::FILE, FileCloser> file(
        std::fopen(QFile::encodeName(sydatPath).constData(), "r"));
    if (!file) {
        showMessage(hooks, MessageIcon::Exclamation, QStringLiteral("Achtung"),
                    QString::fromUtf8(kInstallationNotFound));
        return std::nullopt;
    }
    InstallationColours result;
    char line[128];
    for (int number = 1; number <= kLastColourLine; ++number) {
        if (!readLine(file.get(), line)) {
            return std::nullopt;
        }
        if (number >= kFirstPenLine && number < kFirstPenLine + 8) {
            const std::int64_t value = parseDecimal(line);
            result.pens[static_cast<std::size_t>(number - kFirstPenLine)] =
                static_cast<std::int32_t>(
                    std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                             std::numeric_limits<std::int32_t>::max()));
        } else if (number >= kFirstColourLine) {
            // Only the low three bytes (red, green, blue) count; -1 is white.
            result.colours[static_cast<std::size_t>(number - kFirstColourLine)] =
                static_cast<std::uint32_t>(static_cast<std::uint64_t>(parseDecimal(line)) &
                                           0x00FFFFFFu);
        }
    }
    return result;
}

std::optional<QString> drawingProgramOpenCommand() {
#ifdef Q_OS_WIN
    const QSettings key(
        QStringLiteral(
            "HKEY_LOCAL_MACHINE\\Software\\Classes\\ruraze.zeiprog\\shell\\open\\command"),
        QSettings::NativeFormat);
    const QString command = key.value(QStringLiteral("Default")).toString();
    if (command.isEmpty()) {
        return std::nullopt;
    }
    return command;
#else
    QStringList folders;
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    folders << (dataHome.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share") : dataHome);
    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dataDirs.isEmpty()) {
        dataDirs = QStringLiteral("/usr/local/share/:/usr/share/");
    }
    folders << dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& folder : folders) {
        const QString entry = folder + QStringLiteral("/applications/ruraze.zeiprog.desktop");
        if (QFileInfo::exists(entry)) {
            // The first entry found hides the later ones, as with every desktop entry.
            return execLineOf(entry);
        }
    }
    return std::nullopt;
#endif
}

std::optional<QString> installationFolderFromOpenCommand(const QString& command) {
    QString program = programOfCommand(command);
    if (program.isEmpty()) {
        return std::nullopt;
    }
    if (!program.contains(QLatin1Char('/')) && !program.contains(QLatin1Char('\\'))) {
        // A bare program name is looked up like the launcher would.
        program = QStandardPaths::findExecutable(program);
        if (program.isEmpty()) {
            return std::nullopt;
        }
    }
    const QFileInfo info(program);
    // A link (e.g. from /usr/bin) leads to the installation folder that holds the program.
    const QString canonical = info.canonicalFilePath();
    const QString folder =
        canonical.isEmpty() ? info.absolutePath() : QFileInfo(canonical).absolutePath();
    return QDir::toNativeSeparators(folder);
}

std::optional<QString> locateInstallationSettings() {
    const auto command = drawingProgramOpenCommand();
    if (!command) {
        return std::nullopt;
    }
    const auto folder = installationFolderFromOpenCommand(*command);
    if (!folder) {
        return std::nullopt;
    }
    return QDir(*folder).filePath(QStringLiteral("sydat"));
}

}  // namespace planora
