#include "command_line.h"

#include "ascii_text.h"

#include <optional>

namespace planora {

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

// The switch name of a token, or nothing when the token is not a switch.
std::optional<QString> switchName(QStringView token) {
    if (token.startsWith(u"--")) {
        return token.mid(2).toString();
    }
    for (QStringView known : {QStringView(u"/printto"), QStringView(u"/showpar")}) {
        if (asciiEqualsIgnoreCase(token, known)) {
            return token.mid(1).toString();
        }
    }
    return std::nullopt;
}

}  // namespace

bool CommandLine::hasSwitch(const QString& name) const {
    for (const QString& s : switches) {
        if (asciiEqualsIgnoreCase(s, name)) {
            return true;
        }
    }
    return false;
}

CommandLine parseCommandLine(const QString& line) {
    CommandLine result;
    QString text = line;
    const qsizetype n = text.size();

    // Switches: every blank-separated token, quotes not considered. The switch text is blanked
    // out so that it cannot become part of an argument.
    for (qsizetype i = 0; i < n;) {
        while (i < n && isBlank(text[i])) {
            ++i;
        }
        const qsizetype start = i;
        while (i < n && !isBlank(text[i])) {
            ++i;
        }
        if (i == start) {
            break;
        }
        if (auto name = switchName(QStringView(text).mid(start, i - start))) {
            result.switches.append(*name);
            for (qsizetype k = start; k < i; ++k) {
                text[k] = u' ';
            }
        }
    }

    // Arguments: a leading double quote makes the argument run to the next double quote.
    for (qsizetype i = 0;;) {
        while (i < n && isBlank(text[i])) {
            ++i;
        }
        if (i >= n) {
            break;
        }
        qsizetype start = i;
        qsizetype end = 0;
        if (text[i] == u'"') {
            start = i + 1;
            const qsizetype quote = text.indexOf(u'"', start);
            end = quote < 0 ? n : quote;
            i = quote < 0 ? n : quote + 1;
        } else {
            while (i < n && !isBlank(text[i])) {
                ++i;
            }
            end = i;
        }
        while (end > start && isBlank(text[end - 1])) {
            --end;
        }
        result.arguments.append(text.mid(start, end - start));
    }
    return result;
}

CommandLine parseCommandLine(const QStringList& args) {
    CommandLine result;
    bool switchesEnded = false;
    for (const QString& arg : args) {
        if (!switchesEnded && arg == QStringLiteral("--")) {
            switchesEnded = true;
            continue;
        }
        if (!switchesEnded) {
            if (auto name = switchName(arg)) {
                result.switches.append(*name);
                continue;
            }
        }
        result.arguments.append(arg);
    }
    return result;
}

StartAction startAction(const CommandLine& cl) {
    if (cl.hasSwitch(QStringLiteral("help"))) {
        return StartAction::ShowHelp;
    }
    if (cl.hasSwitch(QStringLiteral("version"))) {
        return StartAction::ShowVersion;
    }
    return StartAction::Run;
}

std::vector<int> startupCommands(const CommandLine& cl) {
    if (cl.printMode()) {
        return {kCommandPrintFromCommandLine};
    }
    std::vector<int> commands{kCommandShowMainWindow};
    if (!cl.arguments.isEmpty()) {
        commands.push_back(kCommandOpenCommandLineFiles);
    }
    return commands;
}

QString programVersion() {
    return QStringLiteral(PLANORA_VERSION);
}

QString helpText() {
    return QStringLiteral(
        "Aufruf: planora [OPTION …] [DATEI …]\n"
        "KVN-CAD-Betrachter: zeigt kvn-cad-Zeichnungen (*.akt) an.\n"
        "\n"
        "Optionen:\n"
        "  --help       diese Hilfe zeigen und beenden\n"
        "  --version    die Programmversion zeigen und beenden\n"
        "  --showpar    jedes Dateiargument vor dem Start in einem Fenster zeigen\n"
        "  --printto DATEI [DRUCKER [TREIBER [ANSCHLUSS]]]\n"
        "               die Zeichnung farbig auf dem genannten Drucker (ohne Namen: auf\n"
        "               dem Standarddrucker) ausgeben und beenden; Treiber und Anschluss\n"
        "               werden nicht gebraucht\n"
        "  /showpar und /printto wirken wie --showpar und --printto\n"
        "  --           alle folgenden Angaben sind Dateien\n"
        "\n"
        "Jede andere Angabe ist eine Datei, auch wenn sie mit \"/\" beginnt.\n");
}

QString versionText() {
    return QStringLiteral("planora (KVN-CAD-Betrachter) Version %1\n").arg(programVersion());
}

}  // namespace planora
