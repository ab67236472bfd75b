#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "file_types.h"
#include "local_file_names.h"
#include "test_files.h"

using namespace planora;
using planora::testing::writeFile;

TEST(FileTypes, DrawingsNeedTheExtensionAndTheMagic) {
    QTemporaryDir dir;
    EXPECT_TRUE(isDrawingFile(writeFile(dir.filePath(QStringLiteral("PLAN.AKT")), "KVNF2500")));
    EXPECT_TRUE(isDrawingFile(writeFile(dir.filePath(QStringLiteral("b.akt")), "kvn")));
    EXPECT_FALSE(isDrawingFile(writeFile(dir.filePath(QStringLiteral("c.akt")), "PK\3\4")));
    EXPECT_FALSE(isDrawingFile(writeFile(dir.filePath(QStringLiteral("d.akt")), "KV")));
    EXPECT_FALSE(isDrawingFile(writeFile(dir.filePath(QStringLiteral("e.akt.txt")), "KVN")));
    EXPECT_FALSE(isDrawingFile(dir.filePath(QStringLiteral("missing.akt"))));
}

TEST(FileTypes, ZipFilesAndArchives) {
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("missing.zip"));
    EXPECT_TRUE(isZipFile(missing, true));  // handed on, so that the unpacking reports it
    EXPECT_TRUE(isZipFile(writeFile(dir.filePath(QStringLiteral("a.ZIP")), "pk\3\4"), true));
    const QString notZip = writeFile(dir.filePath(QStringLiteral("b.zip")), "KVN");
    EXPECT_FALSE(isZipFile(notZip, true));
    EXPECT_TRUE(isZipFile(notZip, false));
    EXPECT_FALSE(isZipFile(QStringLiteral("zip"), false));

    EXPECT_TRUE(isArchiveFile(QStringLiteral("/nowhere/Mappe.AD")));
    EXPECT_FALSE(isArchiveFile(QStringLiteral("/nowhere/Mappe.add")));

    EXPECT_EQ(classifyFile(missing), FileKind::Zip);
    EXPECT_EQ(classifyFile(notZip), FileKind::Other);
    EXPECT_EQ(classifyFile(writeFile(dir.filePath(QStringLiteral("c.akt")), "KVN")),
              FileKind::Drawing);
    EXPECT_EQ(classifyFile(writeFile(dir.filePath(QStringLiteral("notes.txt")), "KVN")),
              FileKind::Other);
}

TEST(LocalFileNames, EveryByteOfANameComesBack) {
    const QByteArray names[] = {
        "/plaene/Grundri\xdf.akt",                      // Latin-1
        "/pl\xc3\xa4ne/Grundri\xc3\x9f.akt",            // UTF-8
        "/x/\xf0\x9f\x8f\xa0.akt",                      // outside the basic plane
        "/x/\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80.akt",  // overlong, surrogate, beyond Unicode
        "/x/cut\xe2\x82",                               // sequence cut by the end
    };
    for (const QByteArray& bytes : names) {
        const QString name = planora::fileNameFromLocal(bytes);
        EXPECT_EQ(planora::localFileName(name), bytes.toStdString()) << bytes.toHex().constData();
        EXPECT_EQ(planora::fileNameFromStored(planora::storableFileName(name)), name);
    }
    // Valid UTF-8 reads as Qt reads it, so names stored by earlier versions match.
    EXPECT_EQ(planora::fileNameFromLocal(names[1]), QString::fromUtf8(names[1]));
    EXPECT_EQ(planora::storableFileName(QString::fromUtf8(names[1])), QString::fromUtf8(names[1]));
    EXPECT_EQ(planora::fileNameFromLocal(names[2]), QString::fromUtf8(names[2]));
}
