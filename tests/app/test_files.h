// Small helpers for tests that need files on disk.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>

namespace planora::testing {

// Writes `content` to `path` and, when given, sets its last-write time. Returns the path.
inline QString writeFile(const QString& path, const QByteArray& content,
                         const QDateTime& lastWrite = {}) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return {};
    }
    file.write(content);
    file.flush();  // later buffered writes would change the time again
    if (lastWrite.isValid()) {
        file.setFileTime(lastWrite, QFileDevice::FileModificationTime);
    }
    return path;
}

}  // namespace planora::testing
