#include <gtest/gtest.h>

#include <time.h>

#include <QLocale>
#include <QTemporaryDir>
#include <QTimeZone>

#include "status_texts.h"
#include "test_files.h"

using namespace planora;

TEST(StatusTexts, FileSizeSwitchesUnitsAtTenThousandBytesAndOneMillion) {
    QLocale::setDefault(QLocale(QLocale::German));  // the decimal point stays a point
    EXPECT_EQ(fileSizeText(0), QStringLiteral("0 b"));
    EXPECT_EQ(fileSizeText(9999), QStringLiteral("9999 b"));
    EXPECT_EQ(fileSizeText(10000), QStringLiteral("10.000 kb"));
    EXPECT_EQ(fileSizeText(123456), QStringLiteral("123.456 kb"));
    EXPECT_EQ(fileSizeText(999999), QStringLiteral("999.999 kb"));
    EXPECT_EQ(fileSizeText(1000000), QStringLiteral("1.000 Mb"));
    EXPECT_EQ(fileSizeText(5000000000LL), QStringLiteral("5000.000 Mb"));
    QLocale::setDefault(QLocale::c());
}

TEST(StatusTexts, FormatCodeFromTheFirstBytes) {
    EXPECT_EQ(formatCodeText(QByteArray("KVN02100", 8)), QStringLiteral("2100"));
    EXPECT_EQ(formatCodeText(QByteArray("KVNF2500", 8)), QStringLiteral("F2500"));
    EXPECT_EQ(formatCodeText(QByteArray("KVN1\0"
                                        "999",
                                        8)),
              QStringLiteral("1"));
    EXPECT_EQ(formatCodeText(QByteArray("KVN05")), QStringLiteral("5"));  // short file
    EXPECT_EQ(formatCodeText(QByteArray("KVN")), QString());
    EXPECT_EQ(formatCodeText(QByteArray("KVN\xe4"
                                        "123",
                                        7)),
              QStringLiteral("\u00e4123"));
}

// Sets the process's time zone for one test and puts the previous one back.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* tz)
        : previous_(qgetenv("TZ")), had_(qEnvironmentVariableIsSet("TZ")) {
        qputenv("TZ", tz);
        tzset();
    }
    ~ScopedTimeZone() {
        if (had_) {
            qputenv("TZ", previous_);
        } else {
            qunsetenv("TZ");
        }
        tzset();
    }

  private:
    QByteArray previous_;
    bool had_;
};

TEST(StatusTexts, StatusTimeIsLocal) {
    // Central European time: one hour ahead of UTC in winter, two in summer.
    const ScopedTimeZone berlin("CET-1CEST,M3.5.0,M10.5.0/3");
    const QDateTime winter(QDate(2012, 3, 4), QTime(5, 6, 59), Qt::UTC);
    EXPECT_EQ(fileDateText(winter), QStringLiteral("04.03.2012 06:06"));
    const QDateTime summer(QDate(2012, 7, 31), QTime(23, 30), Qt::UTC);
    EXPECT_EQ(fileDateText(summer), QStringLiteral("01.08.2012 01:30"));
    const QDateTime plusTwo(QDate(2011, 12, 31), QTime(23, 30), QTimeZone(-2 * 3600));
    EXPECT_EQ(fileDateText(plusTwo), QStringLiteral("01.01.2012 02:30"));
}

TEST(StatusTexts, LayerCount) {
    DrawingModel model;
    EXPECT_EQ(layerCountText(model), QStringLiteral("Layer an: 0 von 0"));
    model.layers = {{1, 1, "A"}, {2, 0, "B"}, {3, 1, "C"}};
    EXPECT_EQ(layerCountText(model), QStringLiteral("Layer an: 2 von 3"));
}

TEST(StatusTexts, FieldsOfAFileOnDisk) {
    const ScopedTimeZone utc("UTC0");
    QTemporaryDir dir;
    QByteArray content(9999, '\0');
    content.replace(0, 8, QByteArray("KVN01000", 8));
    const QString path =
        planora::testing::writeFile(dir.filePath(QStringLiteral("Haus EG.akt")), content,
                                    QDateTime(QDate(2010, 11, 9), QTime(14, 7), Qt::UTC));
    const auto fields = statusFieldsForFile(path);
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->fileName, QStringLiteral("Haus EG.akt"));
    EXPECT_EQ(fields->formatCode, QStringLiteral("1000"));
    EXPECT_EQ(fields->date, QStringLiteral("09.11.2010 14:07"));
    EXPECT_EQ(fields->size, QStringLiteral("9999 b"));

    EXPECT_FALSE(statusFieldsForFile(dir.filePath(QStringLiteral("missing.akt"))));
    EXPECT_FALSE(statusFieldsForFile(dir.path()));
}

TEST(WindowTitle, ModesWithAndWithoutZipOrigin) {
    const QString path = QStringLiteral("/home/anna/plaene/EG.akt");
    EXPECT_EQ(windowTitle(0, path), QStringLiteral("KVN-CAD-Betrachter"));
    EXPECT_EQ(windowTitle(1, path), QStringLiteral("KVN-CAD-Betrachter - EG.akt"));
    EXPECT_EQ(windowTitle(2, path),
              QStringLiteral("KVN-CAD-Betrachter - /home/anna/plaene/EG.akt"));
    EXPECT_EQ(windowTitle(7, path), QStringLiteral("KVN-CAD-Betrachter"));
    EXPECT_EQ(windowTitle(-1, path), QStringLiteral("KVN-CAD-Betrachter"));
    EXPECT_FALSE(windowTitle(1, QString()));

    const QString unpacked = QStringLiteral("/tmp/zptAb12/sub/EG.akt");
    const ZipOrigin known{true, QStringLiteral("/tmp/plans.zip")};
    EXPECT_EQ(windowTitle(1, unpacked, known),
              QStringLiteral("KVN-CAD-Betrachter - plans.zip[EG.akt]"));
    EXPECT_EQ(windowTitle(2, unpacked, known),
              QStringLiteral("KVN-CAD-Betrachter - /tmp/plans.zip[EG.akt]"));
    const ZipOrigin forgotten{true, std::nullopt};
    EXPECT_EQ(windowTitle(1, unpacked, forgotten),
              QStringLiteral("KVN-CAD-Betrachter - Zip-Datei[EG.akt]"));
    EXPECT_EQ(windowTitle(2, unpacked, forgotten),
              QStringLiteral("KVN-CAD-Betrachter - Zip-Datei[EG.akt]"));
}

TEST(ShellTexts, AboutScaleAndRejectionTexts) {
    EXPECT_TRUE(
        aboutText(QStringLiteral("0.1.0"))
            .startsWith(QStringLiteral("KVN-CAD-Betrachter Version 0.1.0\n\n\nBetrachtung")));
    EXPECT_TRUE(aboutText(QStringLiteral("10.20.30.4"))
                    .startsWith(QStringLiteral("KVN-CAD-Betrachter Version 0.00\n")));
    EXPECT_TRUE(
        aboutText(QStringLiteral("x")).contains(QStringLiteral("den älteren V10.0 - 21.0\n")));

    EXPECT_EQ(scaleMenuText(100), QStringLiteral("1:100"));

    EXPECT_EQ(rejectedCountText(1), QStringLiteral("Eine Datei wurde abgelehnt!"));
    EXPECT_EQ(rejectedCountText(3), QStringLiteral("3 Dateien wurden abgelehnt!"));
    EXPECT_TRUE(rejectedExplanationText(1).startsWith(
        QStringLiteral("Eine Datei wurde abgelehnt.\nPrüfen Sie")));
    EXPECT_TRUE(
        rejectedExplanationText(2).startsWith(QStringLiteral("2 Dateien wurden abgelehnt.\n")));
    EXPECT_TRUE(
        rejectedExplanationText(2).endsWith(QStringLiteral("könnte die Datei beschädigt sein.")));
    EXPECT_EQ(loadErrorText(QStringLiteral("Datei ist defekt: x")),
              QStringLiteral("Einlesefehler:\nDatei ist defekt: x"));
}
