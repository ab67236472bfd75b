#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "recent_files.h"
#include "settings_store.h"
#include "test_files.h"

using namespace planora;
using planora::testing::writeFile;

TEST(ShortenPath, ShortPathsAndPathsWithoutFoldersStayWhole) {
    const QString p31 = QStringLiteral("/home/user/projekte/bau/EG.akt1");
    ASSERT_EQ(p31.size(), 31);
    EXPECT_EQ(shortenPath(p31), p31);
    const QString noFolder(40, u'a');
    EXPECT_EQ(shortenPath(noFolder), noFolder);
}

TEST(ShortenPath, LongPathsKeepTheFirstFoldersAndTheFileName) {
    EXPECT_EQ(shortenPath(QStringLiteral("C:/Projekte/Bauvorhaben/Haus/EG.akt")),
              QStringLiteral("C:/Projekte/.../EG.akt"));
    EXPECT_EQ(shortenPath(QStringLiteral("/home/user/projects/bau/haus/EG.akt")),
              QStringLiteral("/home/user/projects/.../EG.akt"));

    // 32 characters are already shortened.
    const QString p32 = QStringLiteral("/home/user/projekte/bau/EG.akt12");
    ASSERT_EQ(p32.size(), 32);
    EXPECT_EQ(shortenPath(p32), QStringLiteral("/home/user/.../EG.akt12"));

    // Only the root in front: nothing but "/..." before the file name.
    EXPECT_EQ(shortenPath(QStringLiteral("/abcdefghijklmnopqrstuvwxyz0123/x.akt")),
              QStringLiteral("/.../x.akt"));
}

TEST(ShortenPath, LongFileNamesKeepTheLastCharacters) {
    const QString name = QStringLiteral("Erdgeschoss_Grundriss_Variante_3.akt");  // 36
    const QString path = QStringLiteral("/home/user/") + name;
    const QString text = shortenPath(path);
    EXPECT_EQ(text, QStringLiteral("/...") + path.right(26));
}

TEST(ShortenPath, NeverLongerThanTheLimit) {
    const QString folders[] = {QStringLiteral("a"), QStringLiteral("Projekte"),
                               QStringLiteral("Bauvorhaben_2012"), QStringLiteral("x")};
    for (int depth = 1; depth < 8; ++depth) {
        for (int nameLength = 1; nameLength < 40; nameLength += 3) {
            QString path;
            for (int d = 0; d < depth; ++d) {
                path += u'/' + folders[d % 4];
            }
            path += u'/' + QString(nameLength, u'n');
            EXPECT_LE(shortenPath(path).size(), kRecentMenuTextLimit) << path.toStdString();
            if (path.size() >= 32) {
                EXPECT_TRUE(shortenPath(path).contains(QStringLiteral("/...")))
                    << path.toStdString();
            }
        }
    }
}

class RecentFilesTest : public ::testing::Test {
  protected:
    // A file with the given last-write time in seconds after a fixed moment.
    QString file(const char* name, int secondsLater = 0) {
        const QDateTime base(QDate(2012, 5, 1), QTime(8, 0), Qt::UTC);
        return writeFile(dir_.filePath(QString::fromUtf8(name)), "KVN", base.addSecs(secondsLater));
    }
    QStringList paths(const RecentFiles& r) const {
        QStringList result;
        for (const auto& e : r.entries()) {
            result.append(e.path);
        }
        return result;
    }
    QString settingsFile() const { return dir_.filePath(QStringLiteral("settings.conf")); }

    QTemporaryDir dir_;
};

TEST_F(RecentFilesTest, OpeningAgainMovesTheFileToTheFrontOnce) {
    RecentFiles recent;
    const QString a = file("a.akt"), b = file("b.akt");
    EXPECT_TRUE(recent.addRecentFile(a));
    EXPECT_TRUE(recent.addRecentFile(b));
    EXPECT_TRUE(recent.addRecentFile(a));
    EXPECT_EQ(paths(recent), (QStringList{a, b}));

    EXPECT_FALSE(recent.addRecentFile(dir_.filePath(QStringLiteral("gone.akt"))));
    EXPECT_FALSE(recent.addRecentFile(dir_.path()));  // a folder is no file
    EXPECT_EQ(paths(recent), (QStringList{a, b}));
}

TEST_F(RecentFilesTest, InsertionByTimeKeepsNewestFirstAndEqualTimesInArrivalOrder) {
    RecentFiles recent;
    const QString mid = file("mid.akt", 100), old = file("old.akt", 0),
                  mid2 = file("mid2.akt", 100), newest = file("new.akt", 200);
    for (const QString& p : {mid, old, mid2, newest}) {
        recent.addRecentFile(p, RecentFiles::Placement::ByTime);
    }
    EXPECT_EQ(paths(recent), (QStringList{newest, mid, mid2, old}));

    // Re-inserting by time moves the file to its place by time, not to the front.
    recent.addRecentFile(old, RecentFiles::Placement::ByTime);
    EXPECT_EQ(paths(recent), (QStringList{newest, mid, mid2, old}));
    recent.addRecentFile(old);
    EXPECT_EQ(paths(recent), (QStringList{old, newest, mid, mid2}));
}

TEST_F(RecentFilesTest, MenuShowsFourAndAnswersItsIdentifiers) {
    RecentFiles recent;
    QStringList opened;
    for (const char* name : {"1.akt", "2.akt", "3.akt", "4.akt", "5 & 6.akt"}) {
        opened.prepend(file(name));
        recent.addRecentFile(opened.front());
    }
    const auto items = recent.buildRecentMenu();
    ASSERT_EQ(items.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(items[i].id, kRecentFirstId + i);
        EXPECT_EQ(recent.recentPath(kRecentFirstId + i), opened[i]);
    }
    EXPECT_TRUE(items[0].text.endsWith(QStringLiteral("5 && 6.akt")));
    EXPECT_FALSE(recent.recentPath(kRecentFirstId + 4));

    // After the next file the oldest drops out of the menu and its identifier goes to another.
    recent.addRecentFile(opened[4]);
    recent.buildRecentMenu();
    EXPECT_EQ(recent.recentPath(kRecentFirstId), opened[4]);
    EXPECT_EQ(recent.recentPath(kRecentFirstId + 3), opened[2]);
}

TEST_F(RecentFilesTest, SavedFilesComeBackOrderedByTimeWithoutMissingOnes) {
    const QString older = file("a.akt", 0), newer = file("b, \u00e4.akt", 50),
                  deleted = file("c.akt", 60), newest = file("d.akt", 70);
    {
        RecentFiles recent;
        for (const QString& p : {newest, older, deleted, newer}) {
            recent.addRecentFile(p);  // list: newer, deleted, older, newest
        }
        recent.addRecentFile(file("e.akt", 80));  // a fifth: the last one is no longer saved
        recent.addRecentFile(newer);
        SettingsStore store(settingsFile());
        recent.buildRecentMenu();
        recent.saveRecentFiles(store);
    }
    {
        SettingsStore store(settingsFile());
        EXPECT_TRUE(store.readStringSetting(recentValueName(3)));
        EXPECT_FALSE(store.readStringSetting(recentValueName(4)));
    }
    QFile::remove(deleted);

    SettingsStore store(settingsFile());
    RecentFiles loaded;
    loaded.loadRecentFiles(store);
    // saved: newer, e, deleted, older → loaded by time, the deleted one dropped
    EXPECT_EQ(paths(loaded), (QStringList{dir_.filePath(QStringLiteral("e.akt")), newer, older}));
}

TEST_F(RecentFilesTest, LoadingStopsAtTheFirstMissingEmptyOrNonTextValue) {
    const QString a = file("a.akt"), b = file("b.akt"), c = file("c.akt");
    SettingsStore store(settingsFile());
    store.writeStringSetting(recentValueName(0), a);
    store.writeStringSetting(recentValueName(1), b);
    store.writeStringSetting(recentValueName(2), QString());
    store.writeStringSetting(recentValueName(3), c);
    RecentFiles recent;
    recent.loadRecentFiles(store);
    EXPECT_EQ(paths(recent).size(), 2);
    EXPECT_FALSE(paths(recent).contains(c));

    store.writeBinarySetting(recentValueName(1), b.toUtf8());
    RecentFiles again;
    again.loadRecentFiles(store);
    EXPECT_EQ(paths(again), QStringList{a});
}
