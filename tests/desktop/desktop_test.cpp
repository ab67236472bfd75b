// Desktop integration against HOME and XDG folders in a temporary folder. The system's data
// folders are replaced too, so that the machine's own MIME database does not decide.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <sys/stat.h>
#include <memory>
#include <vector>

#include "general_options_dialog.h"
#include "main_window.h"
#include "settings_store.h"
#include "shell_integration.h"

using namespace planora;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeText(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

// Runs desktop-file-validate on an entry; it must report nothing.
void expectValidDesktopEntry(const QString& path) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (tool.isEmpty()) {
        std::printf("note: desktop-file-validate not installed, %s not validated\n",
                    qPrintable(path));
        return;
    }
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(tool, {path});
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAll().constData();
    EXPECT_TRUE(p.readAll().trimmed().isEmpty()) << qPrintable(path);
}

bool haveMimeTools() {
    return !QStandardPaths::findExecutable(QStringLiteral("update-mime-database")).isEmpty();
}

class DesktopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(root_.isValid());
        for (const char* name :
             {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DATA_DIRS", "XDG_DESKTOP_DIR"}) {
            saved_.push_back({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
        }
        qputenv("HOME", path("home").toUtf8());
        qputenv("XDG_DATA_HOME", path("data").toUtf8());
        qputenv("XDG_CONFIG_HOME", path("config").toUtf8());
        qputenv("XDG_DATA_DIRS", path("sys").toUtf8());
        qunsetenv("XDG_DESKTOP_DIR");
        QDir().mkpath(path("home/Dokumente"));
        writeText(path("config/user-dirs.dirs"),
                  "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                  "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    }
    void TearDown() override {
        window_.reset();
        settings_.reset();
        for (const auto& s : saved_) {
            if (s.wasSet) {
                qputenv(s.name, s.value);
            } else {
                qunsetenv(s.name);
            }
        }
    }

    QString path(const QString& rel) const { return root_.filePath(rel); }

    // A MIME database of the system in which `glob` has the type `type`.
    void claimInSystem(const char* type, const char* glob) {
        writeText(path("sys/mime/globs2"), QByteArray("50:") + type + ":" + glob + "\n");
    }

    MainWindow& makeWindow(int titleMode) {
        settings_ = std::make_unique<SettingsStore>(path("Planora.conf"));
        settings_->setTitleMode(titleMode);
        window_ = std::make_unique<MainWindow>(*settings_);
        window_->setMessageHandler([this](const MessageRequest& r) { messages_.push_back(r); });
        return *window_;
    }

    struct SavedVar {
        const char* name;
        QByteArray value;
        bool wasSet;
    };
    QTemporaryDir root_;
    std::vector<SavedVar> saved_;
    std::unique_ptr<SettingsStore> settings_;
    std::unique_ptr<MainWindow> window_;
    std::vector<MessageRequest> messages_;
};

TEST_F(DesktopTest, ArchiveTypeIsRegisteredOnlyWhileNoProgramClaimsIt) {
    const QString entry = path("data/applications/planora.desktop");
    const QString package = path("data/mime/packages/planora-archive.xml");

    claimInSystem("application/x-andere-archive", "*.ad");
    ASSERT_TRUE(isArchiveTypeRegistered(XdgPlaces::fromEnvironment()));
    registerArchiveType(XdgPlaces::fromEnvironment(), QStringLiteral("planora"));
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_FALSE(QFile::exists(package));

    QFile::remove(path("sys/mime/globs2"));
    ASSERT_FALSE(isArchiveTypeRegistered(XdgPlaces::fromEnvironment()));
    registerArchiveType(XdgPlaces::fromEnvironment(), QStringLiteral("planora"));
    const QByteArray xml = readAll(package);
    EXPECT_TRUE(xml.contains("type=\"application/x-planora-archive\""));
    EXPECT_TRUE(xml.contains("<glob pattern=\"*.ad\"/>"));
    EXPECT_TRUE(xml.contains("<comment>ArchivDatei</comment>"));
    const QByteArray desktop = readAll(entry);
    EXPECT_TRUE(desktop.contains("\nExec=planora %F\n"));
    EXPECT_TRUE(desktop.contains("\nMimeType=application/x-planora-archive;"));
    expectValidDesktopEntry(entry);

    if (haveMimeTools()) {
        // The user's MIME database now knows the type: the next start writes nothing.
        EXPECT_EQ(mimeTypeForExtension(XdgPlaces::fromEnvironment(), QStringLiteral("AD")),
                  QStringLiteral("application/x-planora-archive"));
        writeText(entry, "unverändert");
        registerArchiveType(XdgPlaces::fromEnvironment(), QStringLiteral("planora"));
        EXPECT_EQ(readAll(entry), QByteArray("unverändert"));
    }
}

TEST_F(DesktopTest, PrintEntryIsWrittenOnlyForAnExistingDrawingType) {
    const QString entry = path("data/applications/planora-print.desktop");
    EXPECT_EQ(registerPrintTo(XdgPlaces::fromEnvironment(), QStringLiteral("planora")),
              PrintToResult::NoDrawingType);
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_FALSE(isPrintToRegistered(XdgPlaces::fromEnvironment()));

    claimInSystem("application/x-zeiprog-akt", "*.akt");
    EXPECT_FALSE(isPrintToRegistered(XdgPlaces::fromEnvironment()));
    EXPECT_EQ(registerPrintTo(XdgPlaces::fromEnvironment(),
                              quoteExecArgument(QStringLiteral("/opt/mein programm"))),
              PrintToResult::Written);
    const QByteArray desktop = readAll(entry);
    EXPECT_TRUE(desktop.contains("\nName=Mit Planora drucken\n"));
    EXPECT_TRUE(desktop.contains("\nExec=\"/opt/mein programm\" /printto %f\n"));
    EXPECT_TRUE(desktop.contains("\nMimeType=application/x-zeiprog-akt;\n"));
    expectValidDesktopEntry(entry);
    EXPECT_TRUE(isPrintToRegistered(XdgPlaces::fromEnvironment()));

    // An entry for another type does not count.
    claimInSystem("application/x-neuer-typ", "*.akt");
    EXPECT_FALSE(isPrintToRegistered(XdgPlaces::fromEnvironment()));
}

TEST_F(DesktopTest, OptionsDialogShowsTitelzeileAndActsOnlyWhenConfirmed) {
    MainWindow& window = makeWindow(2);
    bool seenMode2 = false;
    bool seenPrintTo = true;
    window.setOptionsDialogRunner([&](GeneralOptionsDialog& d) {
        seenMode2 = d.titleButton(2)->isChecked() && !d.titleButton(0)->isChecked() &&
                    !d.titleButton(1)->isChecked();
        seenPrintTo = d.printToBox()->isChecked();
        d.titleButton(1)->setChecked(true);
        d.shortcutBox()->setChecked(true);
        return false;  // "Abbruch"
    });
    window.executeCommand(CmdGeneralOptions);
    EXPECT_TRUE(seenMode2);
    EXPECT_FALSE(seenPrintTo);
    EXPECT_EQ(settings_->titleMode(), 2);
    EXPECT_FALSE(QFile::exists(path("home/Schreibtisch/Planora.desktop")));
    EXPECT_TRUE(messages_.empty());

    // Confirmed twice: the mode is stored, the launcher written each time with its message.
    for (int round = 0; round < 2; ++round) {
        window.setOptionsDialogRunner([](GeneralOptionsDialog& d) {
            d.titleButton(1)->setChecked(true);
            d.shortcutBox()->setChecked(true);
            return true;
        });
        window.executeCommand(CmdGeneralOptions);
    }
    EXPECT_EQ(settings_->titleMode(), 1);
    EXPECT_EQ(SettingsStore(path("Planora.conf")).titleMode(), 1);
    ASSERT_EQ(messages_.size(), 2u);
    for (const MessageRequest& m : messages_) {
        EXPECT_EQ(m.caption, QStringLiteral("Planora-Info"));
        EXPECT_EQ(m.icon, QMessageBox::Information);
        EXPECT_EQ(m.text, desktopShortcutText());
    }
    const QString launcher = path("home/Schreibtisch/Planora.desktop");
    EXPECT_EQ(QDir(path("home/Schreibtisch")).entryList(QDir::Files),
              QStringList{QStringLiteral("Planora.desktop")});
    EXPECT_TRUE(QFileInfo(launcher).isExecutable());
    EXPECT_TRUE(readAll(launcher).contains("\nPath=" + path("home/Dokumente").toUtf8() + "\n"));
    expectValidDesktopEntry(launcher);

    // The title follows the new mode with the next opened file, not before.
    const QString before = window.windowTitle();
    EXPECT_EQ(before, QStringLiteral("KVN-CAD-Betrachter"));
    const QString drawing = path("Haus Nord.akt");
    ASSERT_TRUE(QFile::copy(QStringLiteral(PLANORA_EXAMPLES_DIR "/haus-2500.akt"), drawing));
    ASSERT_EQ(window.openFile(drawing, false, false), 0);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("KVN-CAD-Betrachter - Haus Nord.akt"));

    // A stored mode outside 0..2 checks no radio button, and confirming keeps it.
    settings_->setTitleMode(7);
    bool noneChecked = false;
    window.setOptionsDialogRunner([&](GeneralOptionsDialog& d) {
        noneChecked = !d.chosenTitleMode().has_value();
        return true;
    });
    window.executeCommand(CmdGeneralOptions);
    EXPECT_TRUE(noneChecked);
    EXPECT_EQ(settings_->titleMode(), 7);
}

TEST_F(DesktopTest, PrintCheckboxRegistersOnceAndOnlyWithADrawingType) {
    MainWindow& window = makeWindow(0);
    const QString entry = path("data/applications/planora-print.desktop");
    const auto checkAndConfirm = [](GeneralOptionsDialog& d) {
        d.printToBox()->setChecked(true);
        return true;
    };
    window.setOptionsDialogRunner(checkAndConfirm);
    window.executeCommand(CmdGeneralOptions);
    EXPECT_TRUE(messages_.empty());
    EXPECT_FALSE(QFile::exists(entry));

    // A folder that cannot take the entry: the failure is reported, not a success.
    claimInSystem("application/x-zeiprog-akt", "*.akt");
    writeText(path("data/applications"), "eine Datei, kein Ordner");
    window.executeCommand(CmdGeneralOptions);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].caption, QStringLiteral("Planora - Achtung"));
    EXPECT_FALSE(isPrintToRegistered(XdgPlaces::fromEnvironment()));
    messages_.clear();
    QFile::remove(path("data/applications"));

    window.executeCommand(CmdGeneralOptions);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].caption, QStringLiteral("Planora - Info"));
    EXPECT_EQ(messages_[0].text, printToRegisteredText());
    EXPECT_TRUE(isPrintToRegistered(XdgPlaces::fromEnvironment()));

    // Registered: the box opens checked, and confirming writes nothing and says nothing.
    const QByteArray written = readAll(entry);
    bool openedChecked = false;
    window.setOptionsDialogRunner([&](GeneralOptionsDialog& d) {
        openedChecked = d.printToBox()->isChecked();
        return true;
    });
    window.executeCommand(CmdGeneralOptions);
    EXPECT_TRUE(openedChecked);
    EXPECT_EQ(messages_.size(), 1u);
    EXPECT_EQ(readAll(entry), written);
}

TEST_F(DesktopTest, DrawingProgramReceivesTheDrawingPathAsOneArgument) {
    EXPECT_EQ(drawingProgramCommandLine(QStringLiteral("\"/opt/k v/zeiprog\" \"%1\""),
                                        QStringLiteral("/a b/c.akt")),
              (QStringList{QStringLiteral("/opt/k v/zeiprog"), QStringLiteral("/a b/c.akt")}));
    // Without "%" the path is appended directly, without a blank.
    EXPECT_EQ(
        drawingProgramCommandLine(QStringLiteral("zeiprog --datei="), QStringLiteral("/a b.akt")),
        (QStringList{QStringLiteral("zeiprog"), QStringLiteral("--datei=/a b.akt")}));
    EXPECT_EQ(drawingProgramCommandLine(QStringLiteral("zeiprog %f"), QStringLiteral("/x y.akt")),
              (QStringList{QStringLiteral("zeiprog"), QStringLiteral("/x y.akt")}));
    EXPECT_TRUE(
        drawingProgramCommandLine(QStringLiteral("%f"), QStringLiteral("/x.akt")).isEmpty());

    // A fake drawing program that records its arguments, one per line.
    const QString record = path("argumente.txt");
    const QString script = path("bin/zeiprog");
    writeText(script,
              QByteArray("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"") +
                  record.toUtf8() + ".tmp\"\nmv \"" + record.toUtf8() + ".tmp\" \"" +
                  record.toUtf8() + "\"\n");
    ASSERT_EQ(chmod(script.toLocal8Bit().constData(), 0755), 0);
    writeText(
        path("data/applications/ruraze.zeiprog.desktop"),
        "[Desktop Entry]\nType=Application\nName=kvn-cad\nExec=" + script.toUtf8() + " \"%f\"\n");

    MainWindow& window = makeWindow(0);
    window.executeCommand(CmdEditWithDrawingProgram);  // no drawing yet: nothing starts
    QThread::msleep(300);
    EXPECT_FALSE(QFile::exists(record));

    const QString drawing = path("Mein Haus \"alt\".akt");
    ASSERT_TRUE(QFile::copy(QStringLiteral(PLANORA_EXAMPLES_DIR "/haus-1100.akt"), drawing));
    ASSERT_EQ(window.openFile(drawing, false, false), 0);
    window.executeCommand(CmdEditWithDrawingProgram);
    QElapsedTimer timer;
    timer.start();
    while (!QFile::exists(record) && timer.elapsed() < 10000) {
        QThread::msleep(20);
    }
    EXPECT_EQ(readAll(record), drawing.toUtf8() + "\n");
}

#ifdef PLANORA_CLI
struct CliRun {
    int code = -1;
    QByteArray err;
};

CliRun runCli(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(PLANORA_CLI), args);
    CliRun r;
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        return r;  // a hang counts as failure
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.err = p.readAllStandardError();
    return r;
}

TEST_F(DesktopTest, ThumbnailOfDamagedOrHostileFileGivesNoImageAndExit1) {
    const QString out = path("vorschau/bild.png");
    QDir().mkpath(path("vorschau"));
    ASSERT_EQ(runCli({QStringLiteral("thumbnail"), QStringLiteral("-s"), QStringLiteral("64"),
                      QStringLiteral(PLANORA_EXAMPLES_DIR "/haus-0700.akt"), out})
                  .code,
              0);
    const QImage image(out);
    ASSERT_EQ(image.size(), QSize(64, 64));
    int dark = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            dark += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
        }
    }
    EXPECT_GT(dark, 20);
    QFile::remove(out);

    const QByteArray sound = readAll(QStringLiteral(PLANORA_EXAMPLES_DIR "/haus-2500.akt"));
    writeText(path("fremd.akt"), "\x89PNG\r\n\x1a\n kein Zeichnungsformat");
    writeText(path("muell.akt"), QByteArray("KVN25.00") + QByteArray(5000, '\xff'));
    ASSERT_EQ(mkfifo(path("rohr.akt").toLocal8Bit().constData(), 0600), 0);
    for (const QString& input : {path("fremd.akt"), path("muell.akt"), path("rohr.akt"),
                                 path("vorschau"), path("fehlt.akt")}) {
        const CliRun r = runCli({QStringLiteral("thumbnail"), input, out});
        EXPECT_EQ(r.code, 1) << qPrintable(input) << r.err.constData();
        EXPECT_TRUE(QDir(path("vorschau")).isEmpty()) << qPrintable(input);
    }

    // The input is never overwritten by its own preview.
    writeText(path("haus.akt"), sound);
    EXPECT_EQ(runCli({QStringLiteral("thumbnail"), path("haus.akt"), path("haus.akt")}).code, 1);
    EXPECT_EQ(readAll(path("haus.akt")), sound);
    EXPECT_EQ(runCli({QStringLiteral("thumbnail"), QStringLiteral("-s"), QStringLiteral("0"),
                      path("haus.akt"), out})
                  .code,
              2);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
