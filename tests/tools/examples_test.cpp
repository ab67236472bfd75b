// The example drawings in examples/ must be exactly what make_examples writes now.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

const char* const kFiles[] = {"haus-0510.akt", "haus-0700.akt", "haus-1100.akt", "haus-1800.akt",
                              "haus-2500.akt"};

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class ExamplesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) /
               ("planora_examples_" +
                std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    int generate() {
        const std::string command =
            std::string("\"") + PLANORA_MAKE_EXAMPLES + "\" \"" + dir_.string() + "\"";
        return std::system(command.c_str());
    }

    fs::path dir_;
};

}  // namespace

TEST_F(ExamplesTest, CheckedInFilesMatchTheGenerator) {
    ASSERT_EQ(generate(), 0);
    for (const char* name : kFiles) {
        SCOPED_TRACE(name);
        const fs::path checkedIn = fs::path(PLANORA_EXAMPLES_DIR) / name;
        ASSERT_TRUE(fs::exists(checkedIn)) << "regenerate the examples (see examples/README.md)";
        const std::string expected = readAll(checkedIn);
        const std::string now = readAll(dir_ / name);
        ASSERT_FALSE(now.empty());
        EXPECT_TRUE(expected == now)
            << "examples/" << name << " differs from what make_examples writes now";
    }
}

TEST_F(ExamplesTest, VersionFieldsAndGenerationFeatures) {
    ASSERT_EQ(generate(), 0);
    const struct {
        const char* name;
        const char* versionField;
        bool v12;
    } cases[] = {{"haus-0510.akt", "KVN05.10", false},
                 {"haus-0700.akt", "KVN07.00", false},
                 {"haus-1100.akt", "KVN11.00", false},
                 {"haus-1800.akt", "KVN18.00", true},
                 {"haus-2500.akt", "KVN25.00", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string b = readAll(dir_ / c.name);
        EXPECT_EQ(b.substr(0, 8), c.versionField);
        // The switched-off furniture layer, with the k = 3 or k = 4 layer text layout.
        const bool k4 = std::string(c.name) >= "haus-1700";
        const std::string umlautO(1, '\xF6');
        const std::string furniture = (k4 ? "-   7M" : "-  7M") + umlautO + "blierung";
        EXPECT_NE(b.find(furniture), std::string::npos);
        // The data box's inline block (V12 only) carries its text.
        EXPECT_EQ(b.find("Plan=Grundriss") != std::string::npos, c.v12);
        // The diameter sign: 0x11 and the end byte 0x04 from 1700, the Windows-1252 byte before.
        const std::string diameter =
            k4 ? std::string{'\x11', '3', '0', '\x04'} : std::string{'\xF8', '3', '0'};
        EXPECT_NE(b.find(diameter), std::string::npos);
    }
}
