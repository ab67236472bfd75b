// Zip files in the main window on the offscreen platform: the list packed through "&Speichern",
// zip files opened through the intake, hostile zip files, "Zip-Datei entpacken" and the
// temporary folders that go with the window. Zip files to open are made by Python's zipfile, so
// that the program reads what another program wrote.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QProcess>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

#include "command_ids.h"
#include "document_list_widget.h"
#include "local_file_names.h"
#include "main_window.h"
#include "settings_store.h"
#include "test_files.h"

using namespace planora;

namespace {

QString example(const char* name) {
    return QStringLiteral(PLANORA_EXAMPLES_DIR "/") + QString::fromLatin1(name);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs a program; its exit code, or -1 when it could not be started. `output` gets its standard
// output.
int runProgram(const QString& program, const QStringList& arguments, QByteArray* output = nullptr) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));  // names as UTF-8
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForStarted(10000) || !process.waitForFinished(60000)) {
        return -1;
    }
    if (output) {
        *output = process.readAllStandardOutput();
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

class ZipWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        // The "zpt" folders are made below a temporary folder of this test only.
        oldTmp_ = qgetenv("TMPDIR");
        ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("tmp")));
        qputenv("TMPDIR", dir_.filePath(QStringLiteral("tmp")).toLocal8Bit());
    }
    void TearDown() override {
        window_.reset();
        qputenv("TMPDIR", oldTmp_);
    }

    MainWindow& makeWindow() {
        window_.reset();
        settings_ = std::make_unique<SettingsStore>(dir_.filePath(QStringLiteral("P.conf")));
        settings_->setTitleMode(1);
        window_ = std::make_unique<MainWindow>(*settings_);
        window_->setMessageHandler([this](const MessageRequest& r) { messages_.push_back(r); });
        window_->setQuestionHandler([this](const MessageRequest& r) {
            questions_.push_back(r);
            return answer_;
        });
        window_->resize(1000, 700);
        window_->show();
        QApplication::processEvents();
        return *window_;
    }

    QString file(const QString& name) const { return dir_.filePath(name); }

    QString copyExample(const char* name, const QString& as) {
        return planora::testing::writeFile(as, readAll(example(name)));
    }

    // A zip written by Python's zipfile: (name in the zip, file to store or empty for a folder).
    QString makeZip(const QString& zip, const std::vector<std::pair<QString, QString>>& entries) {
        QString script = QStringLiteral(
            "import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1], 'w', "
            "zipfile.ZIP_DEFLATED)\n");
        QStringList args{QStringLiteral("-c"), QString(), zip};
        for (const auto& [name, source] : entries) {
            const int n = static_cast<int>(args.size());
            args << name << source;
            script +=
                source.isEmpty()
                    ? QStringLiteral("z.writestr(sys.argv[%1], b'')\n").arg(n - 1)
                    : QStringLiteral("z.write(sys.argv[%1], sys.argv[%2])\n").arg(n).arg(n - 1);
        }
        script += QStringLiteral("z.close()\n");
        args[1] = script;
        EXPECT_EQ(runProgram(QStringLiteral("python3"), args), 0) << "python3 zipfile";
        return zip;
    }

    QStringList zptFolders() const {
        return QDir(dir_.filePath(QStringLiteral("tmp")))
            .entryList({QStringLiteral("zpt*")}, QDir::Dirs | QDir::NoDotAndDotDot);
    }

    QAction* listMenuAction(int id) const {
        for (QMenu* menu : window_->findChildren<QMenu*>()) {
            for (QAction* a : menu->actions()) {
                if (a->data().toInt() == id && menu->title().isEmpty() &&
                    menu->actions().size() == 7) {
                    return a;
                }
            }
        }
        return nullptr;
    }

    QTemporaryDir dir_;
    QByteArray oldTmp_;
    std::unique_ptr<SettingsStore> settings_;
    std::unique_ptr<MainWindow> window_;
    std::vector<MessageRequest> messages_;
    std::vector<MessageRequest> questions_;
    bool answer_ = true;
};

}  // namespace

TEST_F(ZipWindowTest, SavingAsZipPacksTheListWithProgressAndShowsItsErrors) {
    MainWindow& w = makeWindow();
    const QString a = copyExample("haus-0700.akt", file(QStringLiteral("Erdgeschoß.akt")));
    const QString b = copyExample("haus-1800.akt", file(QStringLiteral("dach.akt")));
    ASSERT_EQ(w.openFile(a, true, true), 0);
    ASSERT_EQ(w.openFile(b, true, true), 0);
    const QString titleBefore = w.windowTitle();
    // The list's second drawing grows to a size that takes a while to pack.
    QByteArray big(24 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator random(7);
    random.fillRange(reinterpret_cast<quint32*>(big.data()), big.size() / 4);
    ASSERT_FALSE(planora::testing::writeFile(b, big).isEmpty());

    const QString zip = file(QStringLiteral("liste.zip"));
    w.setSaveDialogRunner([&](const DialogSetup&) { return file(QStringLiteral("liste")); });

    // A name with "ß" asks first; No packs nothing.
    answer_ = false;
    w.executeCommand(CmdSave);
    ASSERT_EQ(questions_.size(), 1u);
    EXPECT_EQ(questions_[0].caption, QStringLiteral("Planora - Achtung"));
    EXPECT_TRUE(questions_[0].text.startsWith(
        QStringLiteral("Mindestens ein Dateiname enthält Umlaute (äöüß...).\n")));
    EXPECT_FALSE(QFileInfo::exists(zip));

    // Yes packs, with the bar in place of the status line and the caption in the title.
    answer_ = true;
    QProgressBar* bar = w.zipProgressBar();
    QWidget* status = w.findChild<QWidget*>(QStringLiteral("Statuszeile"));
    int maxValue = 0;
    int barMaximum = 0;
    bool shownInPlace = true;
    QString titleDuring;
    QObject::connect(bar, &QProgressBar::valueChanged, bar, [&](int value) {
        maxValue = std::max(maxValue, value);
        barMaximum = bar->maximum();
        titleDuring = w.windowTitle();
        shownInPlace = shownInPlace && bar->isVisible() && (!status || !status->isVisible());
    });
    // A timer stands for the window system's paint requests: both are only served while the
    // run lets the window's events through. The longest pause between them is printed.
    QElapsedTimer clock;
    std::vector<qint64> served;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] {
        if (bar->isVisible()) {
            served.push_back(clock.elapsed());
        }
    });
    clock.start();
    ticker.start();
    w.executeCommand(CmdSave);
    ticker.stop();
    ASSERT_GE(served.size(), 2u) << "the window's events wait until packing is over";
    qint64 longest = served.front();
    for (std::size_t i = 1; i < served.size(); ++i) {
        longest = std::max(longest, served[i] - served[i - 1]);
    }
    std::printf("packing took %lld ms, events served %zu times, longest pause %lld ms\n",
                static_cast<long long>(clock.elapsed()), served.size(),
                static_cast<long long>(longest));

    EXPECT_TRUE(messages_.empty()) << messages_[0].text.toStdString();
    EXPECT_TRUE(shownInPlace);
    EXPECT_EQ(titleDuring, QStringLiteral("Komprimiere - ") + zip);
    EXPECT_EQ(barMaximum, (24 * 1024 * 1024 + QFileInfo(a).size()) / 16384 + 1);
    EXPECT_EQ(maxValue, barMaximum);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(w.windowTitle(), titleBefore);

    QByteArray listing;
    if (runProgram(QStringLiteral("unzip"), {QStringLiteral("-t"), zip}) == -1) {
        GTEST_SKIP() << "unzip is not installed";
    }
    EXPECT_EQ(runProgram(QStringLiteral("unzip"), {QStringLiteral("-t"), zip}), 0);
    ASSERT_EQ(runProgram(QStringLiteral("unzip"), {QStringLiteral("-Z1"), zip}, &listing), 0);
    EXPECT_EQ(QString::fromUtf8(listing).split(u'\n', Qt::SkipEmptyParts),
              QStringList({QStringLiteral("Erdgeschoß.akt"), QStringLiteral("dach.akt")}));

    // Unpacking it again gives back the umlaut name.
    EXPECT_EQ(w.openFile(zip, true, true), 0);
    ASSERT_EQ(w.documentListWidget()->count(), 3);  // the random "dach.akt" is rejected
    EXPECT_EQ(w.documentListWidget()->item(2)->text(), QStringLiteral("Erdgeschoß.akt"));
    messages_.clear();

    // A listed file that is gone is reported after packing; the zip holds the rest, the two
    // drawings of the same name from different folders as two entries.
    ASSERT_TRUE(QFile::remove(b));
    questions_.clear();
    w.executeCommand(CmdSave);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].caption, QStringLiteral("Planora: Zip-Fehler"));
    EXPECT_EQ(messages_[0].text,
              QStringLiteral("Datei %1 fehlte und wurde nicht gezipped!").arg(b));
    EXPECT_EQ(runProgram(QStringLiteral("unzip"), {QStringLiteral("-Z1"), zip}, &listing), 0);
    EXPECT_EQ(QString::fromUtf8(listing).split(u'\n', Qt::SkipEmptyParts),
              QStringList({QStringLiteral("Erdgeschoß.akt"), QStringLiteral("Erdgeschoß.akt")}));
}

TEST_F(ZipWindowTest, OpeningAZipListsEveryDrawingInItsFoldersWithTheZipInTheTitle) {
    MainWindow& w = makeWindow();
    DocumentListWidget* list = w.documentListWidget();
    const QString zip = makeZip(file(QStringLiteral("plans.zip")),
                                {{QStringLiteral("EG/"), {}},
                                 {QStringLiteral("EG/haus.akt"), example("haus-0700.akt")},
                                 {QStringLiteral("liesmich.txt"), example("haus-1100.akt")},
                                 {QStringLiteral("OG/DG/Dach.AKT"), example("haus-2500.akt")}});
    ASSERT_EQ(w.openFile(zip, true, true), 0);
    QApplication::processEvents();
    EXPECT_TRUE(messages_.empty()) << messages_[0].text.toStdString();
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("haus.akt"));
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("Dach.AKT"));
    ASSERT_EQ(zptFolders().size(), 1);
    const QString folder = dir_.filePath(QStringLiteral("tmp/") + zptFolders()[0]);
    EXPECT_EQ(list->list().items()[1].entry.path(),
              localFileName(folder + QStringLiteral("/OG/DG/Dach.AKT")));
    EXPECT_EQ(readAll(folder + QStringLiteral("/EG/haus.akt")), readAll(example("haus-0700.akt")));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("KVN-CAD-Betrachter - plans.zip[Dach.AKT]"));
    // The zip is remembered, its unpacked copies are not.
    ASSERT_EQ(w.recentFiles().entries().size(), 1u);
    EXPECT_EQ(w.recentFiles().entries()[0].path, zip);

    // "Zip-Datei entpacken" copies the current item's drawing elsewhere, proposing its name.
    QString proposed;
    w.setSaveDialogRunner([&](const DialogSetup& setup) {
        proposed = setup.initialFile;
        return file(QStringLiteral("kopie.akt"));
    });
    list->setCurrentRow(0);
    emit list->menuRequested(QPoint(5, 5));
    QAction* unzip = listMenuAction(CmdListUnzip);
    ASSERT_NE(unzip, nullptr);
    EXPECT_TRUE(unzip->isEnabled());
    w.executeCommand(CmdListUnzip);
    EXPECT_EQ(proposed, QStringLiteral("haus.akt"));
    EXPECT_EQ(readAll(file(QStringLiteral("kopie.akt"))), readAll(example("haus-0700.akt")));
    EXPECT_TRUE(messages_.empty());

    // A drawing from an ordinary folder: greyed, and the command does nothing.
    ASSERT_EQ(w.openFile(example("haus-1100.akt"), true, true), 0);
    list->setCurrentRow(2);
    emit list->menuRequested(QPoint(5, 5));
    EXPECT_FALSE(unzip->isEnabled());
    proposed.clear();
    w.executeCommand(CmdListUnzip);
    EXPECT_TRUE(proposed.isEmpty());
    for (QMenu* menu : w.findChildren<QMenu*>()) {
        menu->close();
    }
}

TEST_F(ZipWindowTest, HostileOrDamagedZipShowsTheZipErrorsAndOpensNothing) {
    MainWindow& w = makeWindow();
    DocumentListWidget* list = w.documentListWidget();
    // A name leading out of the folder, beside a good drawing.
    const QString slip = makeZip(file(QStringLiteral("boese.zip")),
                                 {{QStringLiteral("gut.akt"), example("haus-0700.akt")},
                                  {QStringLiteral("../../boese.akt"), example("haus-1100.akt")}});
    const QString truncated =
        planora::testing::writeFile(file(QStringLiteral("kurz.zip")), QByteArray("PK\x03\x04", 4));
    const QString missing = file(QStringLiteral("fehlt.zip"));
    for (const QString& zip : {slip, truncated, missing}) {
        messages_.clear();
        SCOPED_TRACE(zip.toStdString());
        EXPECT_EQ(w.openFile(zip, true, true), 0);
        ASSERT_EQ(messages_.size(), 1u) << zip.toStdString();
        EXPECT_EQ(messages_[0].caption, QStringLiteral("Planora: Zip-Fehler"));
        EXPECT_EQ(messages_[0].icon, QMessageBox::Warning);
        const QString headline = QStringLiteral("Aus der Zip-Datei %1 wurde nichts geöffnet:\n\n");
        EXPECT_TRUE(messages_[0].text.startsWith(headline.arg(zip)));
        EXPECT_GT(messages_[0].text.size(), headline.arg(zip).size() + 10);  // the log follows
    }
    messages_.clear();
    ASSERT_EQ(w.openFile(slip, true, true), 0);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(messages_[0].text.contains(
        QStringLiteral("../../boese.akt führt aus dem Zielordner heraus")))
        << messages_[0].text.toStdString();
    EXPECT_EQ(list->count(), 0);  // not even the good drawing beside the hostile entry
    EXPECT_TRUE(w.recentFiles().entries().empty());
    QDir tmp(dir_.filePath(QStringLiteral("tmp")));
    EXPECT_FALSE(QFileInfo::exists(dir_.filePath(QStringLiteral("boese.akt"))));
    EXPECT_FALSE(tmp.exists(QStringLiteral("boese.akt")));

    // No temporary folder to unpack into: said so, nothing registered.
    qputenv("TMPDIR", file(QStringLiteral("gibt-es-nicht")).toLocal8Bit());
    messages_.clear();
    EXPECT_EQ(w.openFile(slip, true, true), 0);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].caption, QStringLiteral("Planora - Information"));
    EXPECT_EQ(messages_[0].text, QStringLiteral("Zip-Datei konnte nicht ausgepackt werden!"));
}

TEST_F(ZipWindowTest, TemporaryFoldersGoWhenTheWindowClosesOrIsDestroyed) {
    const QString zip = makeZip(file(QStringLiteral("plans.zip")),
                                {{QStringLiteral("EG/haus.akt"), example("haus-0700.akt")}});
    MainWindow& w = makeWindow();
    ASSERT_EQ(w.openFile(zip, true, true), 0);
    ASSERT_EQ(w.openFile(zip, true, true), 0);
    EXPECT_EQ(zptFolders().size(), 2);  // one folder per opening
    w.close();
    EXPECT_TRUE(zptFolders().isEmpty());

    // A window that goes without being closed takes its folders too.
    MainWindow& second = makeWindow();
    ASSERT_EQ(second.openFile(zip, true, true), 0);
    EXPECT_EQ(zptFolders().size(), 1);
    window_.reset();
    EXPECT_TRUE(zptFolders().isEmpty());
    EXPECT_TRUE(messages_.empty());
}
