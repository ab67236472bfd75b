#include "status_texts.h"

#include <QFile>
#include <QFileInfo>
#include <QTimeZone>

#include <cstdio>
#include <memory>

#include "local_file_names.h"

#include "text_encoding.h"

namespace planora {

QString fileNameOfPath(const QString& path) {
    return path.mid(path.lastIndexOf(u'/') + 1);
}

QString formatCodeText(const QByteArray& firstBytes) {
    auto byteAt = [&](int i) { return i < firstBytes.size() ? firstBytes[i] : '\0'; };
    int from = byteAt(3) == '0' ? 4 : 3;
    std::string code;
    for (int i = from; i <= 7 && byteAt(i) != '\0'; ++i) {
        code.push_back(byteAt(i));
    }
    return QString::fromStdString(toUtf8FromCp1252(code));
}

QString fileDateText(const QDateTime& lastWrite) {
    // The time the user's own clock showed, as `ls` gives it.
    const QDateTime t = lastWrite.toLocalTime();
    const QDate d = t.date();
    const QTime c = t.time();
    return QString::asprintf("%02d.%02d.%d %02d:%02d", d.day(), d.month(), d.year(), c.hour(),
                             c.minute());
}

QString fileSizeText(qint64 size) {
    if (size < 10000) {
        return QString::asprintf("%lld b", static_cast<long long>(size));
    }
    if (size < 1000000) {
        return QString::asprintf("%.3f kb", static_cast<double>(size) / 1000.0);
    }
    return QString::asprintf("%.3f Mb", static_cast<double>(size) / 1000000.0);
}

QString layerCountText(int switchedOn, int total) {
    return QString::asprintf("Layer an: %d von %d", switchedOn, total);
}

QString layerCountText(const DrawingModel& model) {
    int on = 0;
    for (const LayerEntry& layer : model.layers) {
        if (layer.visible != 0) {
            ++on;
        }
    }
    return layerCountText(on, static_cast<int>(model.layers.size()));
}

std::optional<StatusFields> statusFieldsForFile(const QString& path) {
    // Only a regular file is opened: a named pipe would block until someone writes to it.
    const auto status = localFileStatus(path);
    if (!status || !status->regular) {
        return std::nullopt;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
        std::fopen(localFileName(path).c_str(), "rb"), std::fclose);
    if (!file) {
        return std::nullopt;
    }
    const qint64 size = status->size;
    const QDateTime lastWrite = QDateTime::fromMSecsSinceEpoch(status->lastWriteMs, Qt::UTC);
    char buffer[8] = {};
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
    const QByteArray head(buffer, static_cast<qsizetype>(got));
    return StatusFields{fileNameOfPath(path), formatCodeText(head), fileDateText(lastWrite),
                        fileSizeText(size)};
}

std::optional<QString> windowTitle(int titleMode, const QString& drawingPath,
                                   const ZipOrigin& zip) {
    if (drawingPath.isEmpty()) {
        return std::nullopt;
    }
    QString name = fileNameOfPath(drawingPath);
    QString full = drawingPath;
    if (zip.inZipTempFolder) {
        if (zip.zipPath) {
            full = *zip.zipPath + u'[' + name + u']';
            name = full.mid(zip.zipPath->lastIndexOf(u'/') + 1);
        } else {
            full = name = QStringLiteral("Zip-Datei[%1]").arg(name);
        }
    }
    const QString program = QString::fromUtf8(kProgramName);
    switch (titleMode) {
        case 1:
            return program + QStringLiteral(" - ") + name;
        case 2:
            return program + QStringLiteral(" - ") + full;
        default:
            return program;
    }
}

QString scaleMenuText(int denominator) {
    return QString::asprintf("1:%d", denominator);
}

QString aboutText(const QString& version) {
    const QString shown = version.size() <= 9 ? version : QStringLiteral("0.00");
    return QStringLiteral("KVN-CAD-Betrachter Version %1\n").arg(shown) +
           QStringLiteral(
               "\n\n"
               "Betrachtung von kvn-cad-Dateien\n"
               "Version V2009, 2010, 2011 und 2012,\n"
               "den älteren V10.0 - 21.0\n"
               "sowie den DOS-Versionen 5.0 - 7.0\n\n");
}

QString loadErrorText(const QString& lastLoadError) {
    return QStringLiteral("Einlesefehler:\n") + lastLoadError;
}

QString rejectedCountText(int count) {
    if (count == 1) {
        return QStringLiteral("Eine Datei wurde abgelehnt!");
    }
    return QStringLiteral("%1 Dateien wurden abgelehnt!").arg(count);
}

QString rejectedExplanationText(int count) {
    const QString first = count == 1 ? QStringLiteral("Eine Datei wurde abgelehnt.\n")
                                     : QStringLiteral("%1 Dateien wurden abgelehnt.\n").arg(count);
    return first + QStringLiteral(
                       "Prüfen Sie, ob die Datei eine AKT-Datei ist.\n"
                       "Wenn beide vorangegangenen Bedingungen erfüllt sind,\n"
                       "könnte die Datei beschädigt sein.");
}

}  // namespace planora
