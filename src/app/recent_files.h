// The recently opened files: drawings, zip files and archives, newest first. Kept in memory
// while the program runs, loaded from the settings at start and saved at the end; the "&Datei"
// menu shows the first four.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace planora {

class SettingsStore;

inline constexpr int kRecentMax = 4;        // entries shown and saved
inline constexpr int kRecentFirstId = 150;  // menu identifiers 150 to 153
inline constexpr int kRecentMenuTextLimit = 32;

// The settings value name of entry n: "recent00", "recent01", …
QString recentValueName(int n);

// The menu text of a path: short paths as they are, longer ones with folders in the middle
// replaced by "/...", keeping the file name.
QString shortenPath(const QString& path, int limit = kRecentMenuTextLimit);

struct RecentEntry {
    QString path;
    std::int64_t lastWrite = 0;  // milliseconds since the epoch, UTC
    int menuId = 0;              // identifier from the last menu build, 0 when not shown
};

struct RecentMenuItem {
    int id = 0;
    QString text;  // shortened path, "&" doubled so that it shows as itself in a menu
};

class RecentFiles {
  public:
    enum class Placement { Front = 0, ByTime = 1 };

    // Adds the file: at the front, or before the first entry older than it. A file that cannot
    // be opened for reading is not added and the list stays as it is. Any other entry with the
    // same path is removed. Returns whether the file was added.
    bool addRecentFile(const QString& path, Placement placement = Placement::Front);

    // Reads "recent00" … "recent03", stopping at the first one that is missing, not text or
    // empty, and inserts each by its file's last-write time; files that cannot be opened are
    // left out.
    void loadRecentFiles(const SettingsStore& store);
    // Writes the first `recentMax` entries as "recent00" ….
    void saveRecentFiles(SettingsStore& store) const;

    // The menu entries (identifiers from `firstId`, at most `count`); remembers which entry got
    // which identifier, and `count` becomes the number of entries saved.
    std::vector<RecentMenuItem> buildRecentMenu(int firstId = kRecentFirstId,
                                                int count = kRecentMax,
                                                int limit = kRecentMenuTextLimit);
    // The path of the entry shown with this identifier in the last menu build.
    std::optional<QString> recentPath(int menuId) const;

    const std::vector<RecentEntry>& entries() const { return entries_; }
    int recentMax() const { return recentMax_; }

  private:
    std::vector<RecentEntry> entries_;
    int recentMax_ = kRecentMax;
};

}  // namespace planora
