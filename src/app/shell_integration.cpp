#include "shell_integration.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

namespace planora {

namespace {

constexpr char kGenericMimeType[] = "application/octet-stream";
constexpr int kToolTimeoutMs = 20000;

QString envOr(const char* name, const QString& fallback) {
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

// One folder of $XDG_CONFIG_HOME/user-dirs.dirs, e.g. XDG_DESKTOP_DIR="$HOME/Desktop".
std::optional<QString> userDir(const QString& configHome, const QString& home, const QString& key) {
    QFile file(configHome + QStringLiteral("/user-dirs.dirs"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return std::nullopt;
    }
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (!line.startsWith(key + QLatin1Char('='))) {
            continue;
        }
        QString value = line.mid(key.size() + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) &&
            value.endsWith(QLatin1Char('"'))) {
            value = value.mid(1, value.size() - 2);
        }
        if (value.startsWith(QStringLiteral("$HOME"))) {
            value = home + value.mid(5);
        }
        if (QDir::isAbsolutePath(value)) {
            return QDir::cleanPath(value);
        }
    }
    return std::nullopt;
}

// The escapes of a desktop entry's string values.
QString escapeDesktopValue(const QString& value) {
    QString out;
    for (const QChar c : value) {
        if (c == QLatin1Char('\\')) {
            out += QStringLiteral("\\\\");
        } else if (c == QLatin1Char('\n')) {
            out += QStringLiteral("\\n");
        } else if (c == QLatin1Char('\t')) {
            out += QStringLiteral("\\t");
        } else if (c == QLatin1Char('\r')) {
            out += QStringLiteral("\\r");
        } else {
            out += c;
        }
    }
    return out;
}

QString unescapeDesktopValue(const QString& value) {
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar n = value[++i];
        if (n == QLatin1Char('s')) {
            out += QLatin1Char(' ');
        } else if (n == QLatin1Char('n')) {
            out += QLatin1Char('\n');
        } else if (n == QLatin1Char('t')) {
            out += QLatin1Char('\t');
        } else if (n == QLatin1Char('r')) {
            out += QLatin1Char('\r');
        } else if (n == QLatin1Char('\\')) {
            out += QLatin1Char('\\');
        } else {
            out += c;
            out += n;
        }
    }
    return out;
}

// Runs a helper tool of the desktop when it is installed; its outcome does not matter.
void runToolIfPresent(const QString& tool, const QStringList& arguments) {
    const QString path = QStandardPaths::findExecutable(tool);
    if (path.isEmpty()) {
        return;
    }
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(path, arguments);
    if (process.waitForStarted(kToolTimeoutMs) && !process.waitForFinished(kToolTimeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
    }
}

bool writeDesktopEntry(const QString& path, const QStringList& lines, bool executable) {
    const QByteArray text = (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        return false;
    }
    if (!writeFileAtomically(path, text)) {
        return false;
    }
    if (executable) {
        return QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                               QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                               QFileDevice::ExeOther);
    }
    return true;
}

QString archivePackageXml() {
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
               "  <mime-type type=\"%1\">\n"
               "    <comment>ArchivDatei</comment>\n"
               "    <icon name=\"planora\"/>\n"
               "    <glob pattern=\"*.ad\"/>\n"
               "  </mime-type>\n"
               "</mime-info>\n")
        .arg(QLatin1String(kArchiveMimeType));
}

}  // namespace

XdgPlaces XdgPlaces::fromEnvironment() {
    XdgPlaces p;
    p.home = QDir::homePath();
    p.dataHome = envOr("XDG_DATA_HOME", p.home + QStringLiteral("/.local/share"));
    p.dataDirs = envOr("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"))
                     .split(QLatin1Char(':'), Qt::SkipEmptyParts);
    p.configHome = envOr("XDG_CONFIG_HOME", p.home + QStringLiteral("/.config"));
    p.desktopDir = userDir(p.configHome, p.home, QStringLiteral("XDG_DESKTOP_DIR"))
                       .value_or(envOr("XDG_DESKTOP_DIR", p.home + QStringLiteral("/Desktop")));
    p.documentsDir = userDir(p.configHome, p.home, QStringLiteral("XDG_DOCUMENTS_DIR"))
                         .value_or(envOr("XDG_DOCUMENTS_DIR", p.home));
    return p;
}

QStringList XdgPlaces::allDataDirs() const {
    QStringList dirs{dataHome};
    dirs += dataDirs;
    return dirs;
}

std::optional<QString> mimeTypeForExtension(const XdgPlaces& places, const QString& extension) {
    const QString wanted = QStringLiteral("*.") + extension.toLower();
    for (const QString& dir : places.allDataDirs()) {
        QFile file(dir + QStringLiteral("/mime/globs2"));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            continue;
        }
        // weight:type:glob[:flags]; the lists are sorted by weight, so the first match wins.
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) {
                continue;
            }
            const QStringList fields = line.split(QLatin1Char(':'));
            if (fields.size() < 3) {
                continue;
            }
            const bool caseSensitive =
                fields.size() > 3 && fields[3].contains(QStringLiteral("cs"));
            const bool matches = caseSensitive ? fields[2] == QStringLiteral("*.") + extension
                                               : fields[2].toLower() == wanted;
            if (matches && fields[1] != QLatin1String(kGenericMimeType) &&
                fields[1] != QStringLiteral("__NOGLOBS__")) {
                return fields[1];
            }
        }
    }
    return std::nullopt;
}

QString quoteExecArgument(const QString& argument) {
    static const QString plain =
        QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._+-,:@=");
    bool needsQuotes = argument.isEmpty();
    for (const QChar c : argument) {
        if (!plain.contains(c)) {
            needsQuotes = true;
        }
    }
    QString out;
    for (const QChar c : argument) {
        if (c == QLatin1Char('%')) {
            out += QStringLiteral("%%");
        } else if (needsQuotes && (c == QLatin1Char('"') || c == QLatin1Char('`') ||
                                   c == QLatin1Char('$') || c == QLatin1Char('\\'))) {
            out += QLatin1Char('\\');
            out += c;
        } else {
            out += c;
        }
    }
    return needsQuotes ? QLatin1Char('"') + out + QLatin1Char('"') : out;
}

QString programExecName() {
    const QString self = QCoreApplication::applicationFilePath();
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("planora"));
    if (!onPath.isEmpty() && !self.isEmpty() &&
        QFileInfo(onPath).canonicalFilePath() == QFileInfo(self).canonicalFilePath()) {
        return QStringLiteral("planora");
    }
    return self.isEmpty() ? QStringLiteral("planora") : quoteExecArgument(self);
}

namespace {

struct SplitState {
    QStringList tokens;
    QString current;
    bool started = false;  // a token is being built
    bool inQuote = false;
};

SplitState splitExec(const QString& line) {
    SplitState s;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (s.inQuote) {
            if (c == QLatin1Char('\\') && i + 1 < line.size()) {
                s.current += line[++i];
            } else if (c == QLatin1Char('"')) {
                s.inQuote = false;
            } else {
                s.current += c;
            }
        } else if (c == QLatin1Char(' ') || c == QLatin1Char('\t')) {
            if (s.started) {
                s.tokens << s.current;
                s.current.clear();
                s.started = false;
            }
        } else if (c == QLatin1Char('"')) {
            s.inQuote = true;
            s.started = true;
        } else {
            s.current += c;
            s.started = true;
        }
    }
    return s;
}

}  // namespace

QStringList splitExecLine(const QString& line) {
    SplitState s = splitExec(line);
    if (s.started) {
        s.tokens << s.current;
    }
    return s.tokens;
}

bool isArchiveTypeRegistered(const XdgPlaces& places) {
    return mimeTypeForExtension(places, QStringLiteral("ad")).has_value();
}

void registerArchiveType(const XdgPlaces& places, const QString& execName) {
    if (isArchiveTypeRegistered(places)) {
        return;
    }
    const QString packages = places.dataHome + QStringLiteral("/mime/packages");
    if (QDir().mkpath(packages)) {
        writeFileAtomically(packages + QStringLiteral("/planora-archive.xml"),
                            archivePackageXml().toUtf8());
    }
    // The icon the entries name, when the program carries it.
    QFile icon(QStringLiteral(":/icons/GIcon.svg"));
    const QString iconDir = places.dataHome + QStringLiteral("/icons/hicolor/scalable/apps");
    if (icon.open(QIODevice::ReadOnly) && QDir().mkpath(iconDir)) {
        writeFileAtomically(iconDir + QStringLiteral("/planora.svg"), icon.readAll());
    }
    const QString applications = places.dataHome + QStringLiteral("/applications");
    writeDesktopEntry(
        applications + QStringLiteral("/planora.desktop"),
        {QStringLiteral("[Desktop Entry]"), QStringLiteral("Type=Application"),
         QStringLiteral("Name=Planora"),
         QStringLiteral("GenericName=Betrachter für kvn-cad-Zeichnungen"),
         QStringLiteral("Comment=Zeichnungen von kvn-cad ansehen, messen und drucken"),
         QStringLiteral("Exec=") + escapeDesktopValue(execName) + QStringLiteral(" %F"),
         QStringLiteral("Icon=planora"), QStringLiteral("Terminal=false"),
         QStringLiteral("MimeType=%1;%2;")
             .arg(QLatin1String(kArchiveMimeType), QLatin1String(kDrawingMimeType)),
         QStringLiteral("Categories=Graphics;Viewer;Engineering;")},
        false);
    runToolIfPresent(QStringLiteral("update-mime-database"),
                     {places.dataHome + QStringLiteral("/mime")});
    runToolIfPresent(QStringLiteral("update-desktop-database"), {applications});
}

std::optional<QString> drawingTypeName(const XdgPlaces& places) {
    return mimeTypeForExtension(places, QStringLiteral("akt"));
}

bool isPrintToRegistered(const XdgPlaces& places) {
    const auto type = drawingTypeName(places);
    if (!type) {
        return false;
    }
    for (const QString& dir : places.allDataDirs()) {
        QFile file(dir + QStringLiteral("/applications/planora-print.desktop"));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            continue;
        }
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).trimmed();
            if (line.startsWith(QStringLiteral("MimeType="))) {
                return line.mid(9).split(QLatin1Char(';'), Qt::SkipEmptyParts).contains(*type);
            }
        }
        return false;  // the first entry found hides the others
    }
    return false;
}

PrintToResult registerPrintTo(const XdgPlaces& places, const QString& execName) {
    const auto type = drawingTypeName(places);
    if (!type) {
        return PrintToResult::NoDrawingType;
    }
    const QString applications = places.dataHome + QStringLiteral("/applications");
    const bool ok = writeDesktopEntry(
        applications + QStringLiteral("/planora-print.desktop"),
        {QStringLiteral("[Desktop Entry]"), QStringLiteral("Type=Application"),
         QStringLiteral("Name=Mit Planora drucken"),
         QStringLiteral("Comment=Zeichnung auf dem Standarddrucker ausgeben"),
         QStringLiteral("Exec=") + escapeDesktopValue(execName) + QStringLiteral(" /printto %f"),
         QStringLiteral("Icon=planora"), QStringLiteral("Terminal=false"),
         QStringLiteral("NoDisplay=true"), QStringLiteral("MimeType=") + *type + QLatin1Char(';')},
        false);
    runToolIfPresent(QStringLiteral("update-desktop-database"), {applications});
    return ok ? PrintToResult::Written : PrintToResult::WriteFailed;
}

QString printToRegisteredText() {
    return QStringLiteral(
        "Drucken wurde erfolgreich aktiviert.\nSie können jetzt jede akt-Datei mit gedrückter\n"
        "Maustaste auf das Druckersymbol und dort fallen\nlassen, damit sie dort ausgedruckt "
        "wird.");
}

QString printToFailedText(const XdgPlaces& places) {
    return QStringLiteral(
               "Drucken mittels Drag und Drop konnte nicht aktiviert werden:\n%1\nkann nicht "
               "geschrieben werden.")
        .arg(places.dataHome + QStringLiteral("/applications/planora-print.desktop"));
}

bool createDesktopShortcut(const XdgPlaces& places, const QString& execName) {
    if (places.desktopDir.isEmpty() || !QDir().mkpath(places.desktopDir)) {
        return false;
    }
    const QString path = places.desktopDir + QStringLiteral("/Planora.desktop");
    const bool ok = writeDesktopEntry(
        path,
        {QStringLiteral("[Desktop Entry]"), QStringLiteral("Type=Application"),
         QStringLiteral("Name=Planora"),
         QStringLiteral("Comment=Zeichnungen von kvn-cad ansehen, messen und drucken"),
         QStringLiteral("Exec=") + escapeDesktopValue(execName) + QStringLiteral(" %F"),
         QStringLiteral("Path=") + escapeDesktopValue(places.documentsDir),
         QStringLiteral("Icon=planora"), QStringLiteral("Terminal=false")},
        true);
    if (ok) {
        // GNOME starts launchers on the desktop only once they are marked trusted.
        runToolIfPresent(QStringLiteral("gio"),
                         {QStringLiteral("set"), path, QStringLiteral("metadata::trusted"),
                          QStringLiteral("true")});
    }
    return ok;
}

QString desktopShortcutText() {
    return QStringLiteral(
        "Auf Ihrem Desktop wurde eine Verknüpfung zum Starten von\nPlanora eingerichtet.\n\nSie "
        "können nun Ihre Dateien auf dieses Icon ziehen um sie\nmit Planora anzuzeigen.");
}

QStringList drawingProgramCommandLine(const QString& openCommand, const QString& drawingPath) {
    const qsizetype percent = openCommand.indexOf(QLatin1Char('%'));
    const QString cut = unescapeDesktopValue(percent < 0 ? openCommand : openCommand.left(percent));
    SplitState s = splitExec(cut);
    if (s.tokens.isEmpty() && !s.started) {
        return {};  // no program before the placeholder
    }
    // The path continues what stands directly before it (an open quote, "--file="), else it is
    // an argument of its own; in both cases it is never split.
    if (s.started || s.inQuote) {
        s.tokens << s.current + drawingPath;
    } else {
        s.tokens << drawingPath;
    }
    if (s.tokens.first().isEmpty()) {
        return {};
    }
    return s.tokens;
}

void startDrawingProgram(const std::optional<QString>& openCommand, const QString& drawingPath) {
    if (!openCommand || drawingPath.isEmpty()) {
        return;
    }
    const QStringList command = drawingProgramCommandLine(*openCommand, drawingPath);
    if (command.isEmpty()) {
        return;
    }
    QProcess::startDetached(command.first(), command.mid(1));
}

bool writeFileAtomically(const QString& path, const QByteArray& contents) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (file.write(contents) != contents.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

}  // namespace planora
