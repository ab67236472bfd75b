// Zip packing: what other programs see in our zips, the naming and logging of a run, a failed run
// that must not destroy an existing zip, and the progress arithmetic.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "progress.h"
#include "zip_io.h"

namespace fs = std::filesystem;
using namespace planora;

namespace {

fs::path freshFolder(const std::string& name) {
    const fs::path dir = fs::temp_directory_path() / ("planora-zip-" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

void writeFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str());
}

std::string bigText(std::size_t size) {
    std::string text;
    for (std::size_t i = 0; text.size() < size; ++i) {
        text += std::to_string(i * 7919 % 100003) + ' ';
    }
    text.resize(size);
    return text;
}

}  // namespace

TEST(ZipPacking, OtherToolsReadBareNamesTimesAndEmptyFiles) {
    const fs::path dir = freshFolder("interop");
    const std::string wall = bigText(100000);
    writeFile(dir / "EG" / "Wand.akt", wall);
    writeFile(dir / "OG" / "leer.akt", "");
    // A time the DOS format holds exactly (even seconds).
    struct stat st {};
    ASSERT_EQ(::stat((dir / "EG" / "Wand.akt").c_str(), &st), 0);
    const std::time_t when = st.st_mtime - st.st_mtime % 2 - 86400 * 3;
    const fs::file_time_type before = fs::last_write_time(dir / "EG" / "Wand.akt");
    fs::last_write_time(dir / "EG" / "Wand.akt", before - std::chrono::seconds(st.st_mtime - when));

    Progress progress;
    const std::vector<std::string> paths = {(dir / "EG" / "Wand.akt").string(),
                                            (dir / "weg.akt").string(),
                                            (dir / "OG" / "leer.akt").string()};
    ASSERT_EQ(packZip((dir / "plans").string(), paths, {}, progress), 0);
    EXPECT_EQ(zipErrorLog(),
              "Datei " + (dir / "weg.akt").string() + " fehlte und wurde nicht gezipped!\n");
    const fs::path zip = dir / "plans.zip";
    ASSERT_TRUE(fs::is_regular_file(zip));
    EXPECT_EQ(shell("unzip -tq " + zip.string()), 0);
    // Bare names, exact lengths and the file's time, as Debian's unzip lists them.
    EXPECT_EQ(
        shell("unzip -Z1 " + zip.string() + " | tr '\\n' ' ' | grep -qx 'Wand.akt leer.akt '"), 0);
    EXPECT_EQ(shell("unzip -p " + zip.string() + " Wand.akt | cmp -s - " +
                    (dir / "EG" / "Wand.akt").string()),
              0);
    const fs::path out = dir / "out";
    fs::create_directories(out);
    ASSERT_EQ(shell("cd " + out.string() + " && unzip -q " + zip.string()), 0);
    EXPECT_EQ(fs::file_size(out / "leer.akt"), 0u);
    struct stat unpacked {};
    ASSERT_EQ(::stat((out / "Wand.akt").c_str(), &unpacked), 0);
    EXPECT_EQ(unpacked.st_mtime, when);

    // Our own unpacking gives the same bytes and time back.
    const fs::path ours = dir / "ours";
    fs::create_directories(ours);
    const auto drawings = unpackZip(ZipSource{zip.string()}, ours.string(), progress);
    EXPECT_EQ(zipErrorLog(), "");
    ASSERT_EQ(drawings.size(), 2u);
    EXPECT_EQ(drawings[0].entryName, "Wand.akt");
    EXPECT_EQ(readFile(ours / "Wand.akt"), wall);
    ASSERT_EQ(::stat((ours / "Wand.akt").c_str(), &unpacked), 0);
    EXPECT_EQ(unpacked.st_mtime, when);
}

TEST(ZipPacking, NamesGetZipEndingAndEmptyListGivesValidZip) {
    const fs::path dir = freshFolder("names");
    Progress progress;
    const std::string gone = (dir / "geloescht.akt").string();
    ASSERT_EQ(packZip((dir / "plans.old").string(), {gone, gone}, {}, progress), 0);
    EXPECT_EQ(zipErrorLog(), "Datei " + gone + " fehlte und wurde nicht gezipped!\nDatei " + gone +
                                 " fehlte und wurde nicht gezipped!\n");
    ASSERT_TRUE(fs::exists(dir / "plans.old.zip"));
    const auto names = listZipEntries(ZipSource{(dir / "plans.old.zip").string()});
    ASSERT_TRUE(names.has_value()) << zipErrorLog();
    EXPECT_TRUE(names->empty());

    ASSERT_EQ(packZip((dir / "plans.ZIP").string(), {}, {}, progress), 0);
    EXPECT_TRUE(fs::exists(dir / "plans.ZIP"));
    EXPECT_FALSE(fs::exists(dir / "plans.ZIP.zip"));
    // Only the finished zips are left, no temporary files beside them.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
}

TEST(ZipPacking, ReadErrorLeavesExistingZipUntouched) {
    const fs::path dir = freshFolder("failed");
    writeFile(dir / "a.akt", "drawing");
    writeFile(dir / "plans.zip", "the earlier zip");
    Progress progress;
    // Reading this file fails with an I/O error at its first byte.
    ASSERT_EQ(packZip((dir / "plans.zip").string(), {(dir / "a.akt").string(), "/proc/self/mem"},
                      {}, progress),
              0);
    EXPECT_NE(zipErrorLog().find("Fehler beim Lesen von /proc/self/mem"), std::string::npos)
        << zipErrorLog();
    EXPECT_EQ(readFile(dir / "plans.zip"), "the earlier zip");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
}

TEST(ZipPacking, UmlautQuestionLooksAtFileNamesInBothEncodings) {
    // The folder's umlaut does not count; UTF-8 and Windows-1252 names do, "ß" included.
    EXPECT_EQ(countUmlautNames({"/home/M\xC3\xBCller/plan.akt", "plain.akt"}), 0);
    EXPECT_EQ(countUmlautNames({"/a/Stra\xC3\x9F"
                                "e.akt",
                                "/a/\xD6l.akt", "/a/b.akt", "/a/\xC3\x84nderung.akt"}),
              3);
    // A UTF-8 letter whose bytes include a Windows-1252 umlaut ("\xC4" of "ą") is no umlaut.
    EXPECT_EQ(countUmlautNames({"/a/Zaj\xC4\x85"
                                "c.akt"}),
              0);
}

TEST(ZipProgress, StepsCounterAndBareNameFolder) {
    const fs::path dir = freshFolder("progress");
    writeFile(dir / "a.akt", std::string(40000, 'a'));
    writeFile(dir / "b.akt", std::string(100, 'b'));
    writeFile(dir / "c.akt", std::string(100, 'c'));
    const ProgressFields fields{.caption = 1,
                                .archive = 2,
                                .fileBar = 3,
                                .overallBar = 4,
                                .folder = 5,
                                .file = 6,
                                .percent = 7,
                                .counter = 8};
    Progress progress;
    progress.initProgress(fields);
    std::vector<int> overallRanges;
    int overallSteps = 0;
    std::string title;
    ProgressSink sink;
    sink.setTitle = [&](const std::string& t) { title = t; };
    sink.setBarRange = [&](int id, int steps) {
        if (id == 4) {
            overallRanges.push_back(steps);
        }
    };
    sink.stepBar = [&](int id) { overallSteps += id == 4 ? 1 : 0; };
    ASSERT_TRUE(progress.attachProgress(sink));
    const std::string zip = (dir / "p.zip").string();
    packZip(zip, {(dir / "a.akt").string(), (dir / "b.akt").string(), (dir / "c.akt").string()}, {},
            progress);
    EXPECT_EQ(title, "Komprimiere - " + zip);
    // 40200 bytes in steps of 16384: 40200 / 16384 + 1 = 3 steps, all of them shown.
    EXPECT_EQ(overallRanges, std::vector<int>{3});
    EXPECT_EQ(overallSteps, 3);
    EXPECT_EQ(progress.text(8), "3/3");
    EXPECT_EQ(progress.text(7), "100%");

    // Less than one step in total shows one step.
    progress.setProgressBar(4, ProgressBarOp::Range, 300, 16384);
    EXPECT_EQ(progress.barSteps(4), 1);
    progress.setProgressCounter(2, 5);
    progress.advanceProgressCounter();
    EXPECT_EQ(progress.text(8), "3/5");
    progress.setProgressText(6, "Wand.akt");
    EXPECT_EQ(progress.text(5), ".\\");
    EXPECT_EQ(progress.text(6), "Wand.akt");
    progress.setProgressText(6, "/tmp/zpt1/EG/Wand.akt");
    EXPECT_EQ(progress.text(5), "/tmp/zpt1/EG");
    progress.setProgressText(1, "p.zip", 0);
    EXPECT_EQ(title, "Entkomprimiere - p.zip");
}
