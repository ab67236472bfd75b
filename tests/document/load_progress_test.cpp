// The progress and cancel hook of a load that runs on another thread: progress comes in rising
// coarse steps up to 100, and a cancel ends the load early without a drawing or a message.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "akt_writer.h"
#include "open_drawing.h"

using namespace planora;
namespace akt = planora::akt;

TEST(LoadProgress, RisesToCompletionAndACancelEndsTheLoadWithoutADrawing) {
    akt::Drawing d;
    d.version = 2200;
    for (int i = 0; i < 100'000; ++i) {
        akt::addLine(d, i, 0, i + 1, 1, akt::Attributes{0, 1, 1, 100});
    }
    akt::addLayer(d, 0, "Linien");
    const auto bytes = akt::writeDrawing(d);
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("planora-progress-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         ".akt");
    {
        std::ofstream file(path, std::ios::binary);
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(file.good());
    }

    std::vector<int> seen;
    OpenOptions options;
    options.progress = [&](int percent) { seen.push_back(percent); };
    const OpenResult whole = openDrawing(path.string(), options);
    ASSERT_TRUE(whole.ok());
    EXPECT_FALSE(whole.cancelled);
    EXPECT_EQ(whole.model->store.elementCount(), 100'000u);
    ASSERT_GE(seen.size(), 4u);  // coarse steps, not one per record
    EXPECT_LE(seen.size(), 101u);
    EXPECT_EQ(seen.front(), 0);
    EXPECT_EQ(seen.back(), 100);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));

    // A cancel during the element records: the reader stops at its next step.
    std::atomic<bool> cancel{false};
    seen.clear();
    options.cancel = &cancel;
    options.progress = [&](int percent) {
        seen.push_back(percent);
        if (percent >= 30) {
            cancel = true;
        }
    };
    const OpenResult stopped = openDrawing(path.string(), options);
    EXPECT_FALSE(stopped.ok());
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_TRUE(stopped.error.empty());
    ASSERT_FALSE(seen.empty());
    EXPECT_LT(seen.back(), 60);

    std::filesystem::remove(path);
}
