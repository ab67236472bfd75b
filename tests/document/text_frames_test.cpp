#include <gtest/gtest.h>

#include "text_frames.h"

using namespace planora;

namespace {

ElementStore frame(char frameClass, char frameShape, std::string_view text, double h, double a,
                   double x = 0, double y = 0) {
    ElementStore store;
    store.createElementStore(8);
    addTextFrame(store, x, y, a, h, 3, frameClass, frameShape, text);
    return store;
}

}  // namespace

TEST(TextFrames, CircleAroundTheWholeTextOrTheFirstWord) {
    ElementStore s = frame('0', '1', "abcd", 0.25, 0);
    ASSERT_EQ(s.elementCount(), 1u);
    const Element& c = s.elementArray()[0];
    EXPECT_EQ(c.kind, ElementKind::Circle);
    EXPECT_DOUBLE_EQ(c.g[0], 0.4);
    EXPECT_DOUBLE_EQ(c.g[1], 0.125);
    EXPECT_DOUBLE_EQ(c.g[2], 0.625);
    EXPECT_EQ(c.penField, 1);
    EXPECT_EQ(c.lineStyle, 1);
    EXPECT_EQ(c.layerField, 4);

    ElementStore empty = frame('0', '1', "", 0.5, 0, 1, 1);
    EXPECT_DOUBLE_EQ(empty.elementArray()[0].g[2], 0.75);
    EXPECT_DOUBLE_EQ(empty.elementArray()[0].g[0], 1);
    EXPECT_DOUBLE_EQ(empty.elementArray()[0].g[1], 1.25);

    ElementStore word = frame('0', '2', "ab cd", 1, 0);
    EXPECT_DOUBLE_EQ(word.elementArray()[0].g[2], 1.5);
    // 0xFF ends the counted characters as well.
    EXPECT_DOUBLE_EQ(frame('0', '1', "ab\xFFzzzz", 1, 0).elementArray()[0].g[2], 1.5);
}

TEST(TextFrames, RectanglesFollowTheTextAngle) {
    ElementStore s = frame('0', '3', "0123456789", 0.5, 30);
    const Element& r = s.elementArray()[0];
    EXPECT_EQ(r.kind, ElementKind::Rectangle);
    EXPECT_DOUBLE_EQ(r.g[2], 5.2);
    EXPECT_DOUBLE_EQ(r.g[3], 0.75);
    EXPECT_DOUBLE_EQ(r.g[4], 30);

    ElementStore word = frame('0', '4', "ab cd", 1, 0);
    EXPECT_DOUBLE_EQ(word.elementArray()[0].g[2], 2.1);
}

TEST(TextFrames, RoundedOblongIsTwoLinesAndTwoArcs) {
    ElementStore s = frame('0', '5', "abcde", 1, 0);
    ASSERT_EQ(s.elementCount(), 4u);
    const Element* e = s.elementArray();
    auto near = [](double a, double b) { return std::abs(a - b) < 1e-12; };
    EXPECT_EQ(e[0].kind, ElementKind::Line);
    EXPECT_TRUE(near(e[0].g[0], 0) && near(e[0].g[1], 1.25) && near(e[0].g[2], 4) &&
                near(e[0].g[3], 1.25));
    EXPECT_TRUE(near(e[1].g[0], 4) && near(e[1].g[1], -0.25) && near(e[1].g[2], 0) &&
                near(e[1].g[3], -0.25));
    EXPECT_EQ(e[2].kind, ElementKind::Arc);
    EXPECT_TRUE(near(e[2].g[0], 0) && near(e[2].g[1], 0.5) && near(e[2].g[2], 0.75));
    EXPECT_DOUBLE_EQ(e[2].g[3], 90);
    EXPECT_DOUBLE_EQ(e[2].g[4], 270);
    EXPECT_TRUE(near(e[3].g[0], 4) && near(e[3].g[1], 0.5));
    EXPECT_DOUBLE_EQ(e[3].g[3], 270);
    EXPECT_DOUBLE_EQ(e[3].g[4], 90);
    EXPECT_EQ(e[0].penField, 0);
    EXPECT_EQ(e[0].lineStyle, 0);
}

TEST(TextFrames, RegularPolygonsAndCombinationsWithoutFrame) {
    ElementStore hex = frame('2', '6', "abc", 1, 45);
    ASSERT_EQ(hex.elementCount(), 1u);
    const Element& p = hex.elementArray()[0];
    EXPECT_EQ(p.kind, ElementKind::RegularPolygon);
    EXPECT_DOUBLE_EQ(p.g[2], 3);
    EXPECT_DOUBLE_EQ(p.g[3], 270) << "the corner angle does not follow the text angle";
    EXPECT_EQ(p.g[4], 6);
    EXPECT_DOUBLE_EQ(frame('1', '3', "a", 1, 0).elementArray()[0].g[3], 90);

    for (auto [c, s] : {std::pair{'1', '2'}, {'0', '0'}, {'0', '6'}, {'3', '4'}, {'2', ':'}}) {
        EXPECT_EQ(frame(c, s, "abc", 1, 0).elementCount(), 0u) << c << s;
    }
}

TEST(TextFrames, EstimateCoversWhatAFrameAdds) {
    for (char c : {'0', '1', '2', '3'}) {
        for (char s = '0'; s <= '9'; ++s) {
            EXPECT_GE(frameElementEstimate(c, s), frame(c, s, "ab cd", 1, 0).elementCount())
                << c << s;
        }
    }
}
