#include "recent_files.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include "local_file_names.h"
#include "settings_store.h"

namespace planora {

namespace {

// The file's last-write time, or nothing when it is not a readable regular file. Looked up with
// a stat only: opening an entry that names a pipe would block the start.
std::optional<std::int64_t> lastWriteTime(const QString& path) {
    const auto status = localFileStatus(path);
    if (!status || !status->regular || !status->readable) {
        return std::nullopt;
    }
    return status->lastWriteMs;
}

}  // namespace

QString recentValueName(int n) {
    return QString::asprintf("recent%02d", n);
}

QString shortenPath(const QString& path, int limit) {
    const qsizetype L = limit;
    if (path.size() < L) {
        return path;
    }
    const qsizetype lastSlash = path.lastIndexOf(u'/');
    if (lastSlash < 0) {
        return path;
    }
    qsizetype tailStart = lastSlash;
    const qsizetype nameLength = path.size() - lastSlash - 1;
    if (nameLength > L - 6) {
        tailStart = path.size() - (L - 6);
    }
    // Walk back over whole folders until the part in front is short enough to leave room for
    // "/..." and the file name.
    qsizetype cut = tailStart;
    qsizetype prefixLength = 0;
    for (;;) {
        const qsizetype slash = cut > 0 ? path.lastIndexOf(u'/', cut - 1) : -1;
        if (slash < 0) {
            prefixLength = 0;
            break;
        }
        cut = slash;
        if (cut < L - nameLength - 5) {
            prefixLength = cut;
            break;
        }
    }
    return path.left(prefixLength) + QStringLiteral("/...") + path.mid(tailStart);
}

bool RecentFiles::addRecentFile(const QString& path, Placement placement) {
    const auto time = lastWriteTime(path);
    if (!time) {
        return false;
    }
    RecentEntry entry{path, *time, 0};
    std::size_t at = 0;
    if (placement == Placement::ByTime && !entries_.empty() &&
        *time <= entries_.front().lastWrite) {
        at = entries_.size();
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (entries_[i].lastWrite < *time) {
                at = i;
                break;
            }
        }
    }
    entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
    for (std::size_t i = 0; i < entries_.size();) {
        if (i != at && entries_[i].path == path) {
            entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
            if (i < at) {
                --at;
            }
        } else {
            ++i;
        }
    }
    return true;
}

void RecentFiles::loadRecentFiles(const SettingsStore& store) {
    for (int n = 0; n < kRecentMax; ++n) {
        const auto path = store.readStringSetting(recentValueName(n));
        if (!path || path->isEmpty()) {
            break;
        }
        addRecentFile(fileNameFromStored(*path), Placement::ByTime);
    }
}

void RecentFiles::saveRecentFiles(SettingsStore& store) const {
    const auto count = std::min<std::size_t>(entries_.size(), static_cast<std::size_t>(recentMax_));
    for (std::size_t n = 0; n < count; ++n) {
        store.writeStringSetting(recentValueName(static_cast<int>(n)),
                                 storableFileName(entries_[n].path));
    }
}

std::vector<RecentMenuItem> RecentFiles::buildRecentMenu(int firstId, int count, int limit) {
    recentMax_ = count;
    std::vector<RecentMenuItem> items;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        RecentEntry& e = entries_[i];
        if (static_cast<int>(i) < count) {
            e.menuId = firstId + static_cast<int>(i);
            QString text = shortenPath(e.path, limit);
            text.replace(u'&', QStringLiteral("&&"));
            items.push_back({e.menuId, text});
        } else {
            e.menuId = 0;
        }
    }
    return items;
}

std::optional<QString> RecentFiles::recentPath(int menuId) const {
    if (menuId == 0) {
        return std::nullopt;
    }
    for (const RecentEntry& e : entries_) {
        if (e.menuId == menuId) {
            return e.path;
        }
    }
    return std::nullopt;
}

}  // namespace planora
