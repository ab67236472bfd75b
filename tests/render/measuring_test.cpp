// Measuring on the model: the snap list, snapping, the anchor and the measured texts.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "measuring.h"

namespace planora {
namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;
const ClientRect kClient{0, 0, kWidth, kHeight};

// Scale 1, drawing (0, 0) at pixel (1, 400) with the drawing mapping's extra pixel in x.
View plainView() {
    View view;
    ViewTransform t;
    t.deviceOriginY = 400;
    view.setCurrentView(t);
    return view;
}

// Adds a circle whose centre maps to the pixel (px, py) under plainView().
void circleAtPixel(ElementStore& store, int px, int py) {
    store.addCircle(px - 1, 400 - py, 1, 0, 1, 0);
}

TEST(SnapList, CollectsVisiblePointsOfTheModeInsideTheRectangle) {
    DrawingModel model;
    model.store.createElementStore(10);
    model.store.addLine(10, 20, kWidth - 1, 40, 0, 1, 0);  // end pixel x 800: outside
    model.store.addText(50, 50, "T", 0, 2, 1, 0, 1, 0);
    model.store.addCircle(100, 100, 5, 0, 1, 0);
    model.store.addRectangle(200, 100, 5, 5, 0, 0, 1, 0);
    model.store.addArc(150, 100, 5, 0, 90, 1, 1, 0);         // layer 1, hidden below
    model.store.addArc(kWidth - 2, 400, 5, 0, 90, 0, 1, 0);  // pixel (799, 0): inside
    model.setLayerVisible(1, false);

    SnapList list;
    const ViewTransform view = plainView().displayedView();
    list.build(kClient, view, model.store, SnapMode::Geometry);
    const auto& c = list.candidates();
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0].kind, SnapCandidate::StartPoint);
    EXPECT_EQ((DevicePoint{c[0].x, c[0].y}), drawingToDevice(view, 10, 20));
    EXPECT_EQ(c[1].element, 2u);
    EXPECT_EQ(c[2].element, 5u);
    EXPECT_EQ((DevicePoint{c[2].x, c[2].y}), (DevicePoint{kWidth - 1, 0}));

    // The texts mode offers only text anchors; a build without a mode keeps it.
    list.build(kClient, view, model.store, SnapMode::Texts);
    list.clear();
    list.build(kClient, view, model.store, std::nullopt);
    ASSERT_EQ(list.candidates().size(), 1u);
    EXPECT_EQ(list.candidates()[0].element, 1u);
    EXPECT_EQ(list.candidates()[0].text, "T");
}

TEST(SnapList, SnapsBelowFiftyTruncatedPixelsAndTheEarlierWinsATie) {
    ElementStore store;
    store.createElementStore(3);
    circleAtPixel(store, 435, 235);  // A: 49.50 pixels from (400, 200)
    circleAtPixel(store, 351, 200);  // B: 49.00 pixels
    SnapList list;
    list.build(kClient, plainView().displayedView(), store, SnapMode::Geometry);
    EXPECT_EQ(list.findHit(351 - 30, 200 + 40), nullptr);  // exactly 50 from B
    EXPECT_EQ(list.findHit(351 - 50, 200), nullptr);
    ASSERT_NE(list.findHit(351 - 49, 200), nullptr);
    // A and B both truncate to 49: the earlier one is taken although B is nearer.
    ASSERT_NE(list.findHit(400, 200), nullptr);
    EXPECT_EQ(list.findHit(400, 200)->element, 0u);

    // A later candidate with a smaller truncated distance (42) wins.
    circleAtPixel(store, 430, 230);
    list.build(kClient, plainView().displayedView(), store, std::nullopt);
    EXPECT_EQ(list.findHit(400, 200)->element, 2u);
}

TEST(MeasureAngle, QuadrantsAndTheNearlyVerticalCase) {
    EXPECT_NEAR(measureAngle(1, 1), 45.0, 1e-9);
    EXPECT_NEAR(measureAngle(-1, 1), 135.0, 1e-9);
    EXPECT_NEAR(measureAngle(-1, -1), -135.0, 1e-9);
    EXPECT_NEAR(measureAngle(-1, 0), 180.0, 1e-9);
    // |dx| <= 0.0001: the sign comes from dy alone, a tiny negative dx does not flip it.
    EXPECT_NEAR(measureAngle(-0.00005, 10), 90.0, 1e-3);
    EXPECT_NEAR(measureAngle(0.00005, -10), -90.0, 1e-3);
    EXPECT_EQ(measureAngle(0.00005, 0.00005), 0.0);
    // Rounding of the length must not push acos out of its range.
    EXPECT_FALSE(std::isnan(measureAngle(0.1 + 0.2, 1e-300)));
}

TEST(MeasureText, UnitsDecimalsAndLongValuesKeptWhole) {
    MeasureUnits units;
    units.unitFactor = 10.0;  // [mm]
    units.scaleFactor = 50.0;
    units.decimals = 1;
    EXPECT_EQ(distanceText(3, 4, units), "Abstände: 2500.0 (x 1500.0) (y 2000.0) (Wnk 53.1°)");
    units.unitFactor = 0.01;  // [m]
    units.decimals = 0;
    EXPECT_EQ(distanceText(-3, 4, units), "Abstände: 2 (x 2) (y 2) (Wnk 127°)");
    // A count outside 0 to 3 gives six decimals.
    EXPECT_EQ(formatMeasureNumber(1.5, 7), "1.500000");

    units = MeasureUnits{};
    units.decimals = 3;
    EXPECT_EQ(distanceText(1e20, 0, units),
              "Abstände: 100000000000000000000.000 (x 100000000000000000000.000) (y 0.000) "
              "(Wnk 0.000°)");
    const std::string longText(100, 'x');
    EXPECT_EQ(textHitText(longText), "Text: [" + longText + "]");
    EXPECT_EQ(textHitText("Gr\xf6\xdf"
                          "e 3\xb0"),
              "Text: [Größe 3°]");
}

// A session over a small drawing: three line corners and a text, plainView, client 800 x 600.
class MeasureSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        store.createElementStore(4);
        store.addLine(300, -400, 300, 0, 0, 1, 0);
        store.addLine(300, 10, 0, 10, 0, 1, 0);
        store.addText(100, -100, "Wand \xe4", 0, 2.5, 1, 0, 1, 0);
    }

    DevicePoint at(double x, double y) const { return drawingToDevice(view.displayedView(), x, y); }

    ElementStore store;
    View view = [] {
        // Scale 1, drawing (0, -500) at pixel (0, 550): (300, -400) is pixel (301, 450), (300, 0)
        // is (301, 50).
        View v;
        ViewTransform t;
        t.worldOriginY = -500;
        t.deviceOriginY = 550;
        v.setCurrentView(t);
        return v;
    }();
    MeasureSession session;
};

TEST_F(MeasureSessionTest, MeasuresFromTheOriginBeforeTheFirstClick) {
    session.setUnitFactor(0.01);
    session.setDecimals(3);
    session.startGeometry(kClient, view, store);
    const DevicePoint p = at(300, -400);
    const auto r = session.mouseMove(p.x + 3, p.y - 2);
    ASSERT_TRUE(r.text.has_value());
    EXPECT_EQ(*r.text, "Abstände: 5.000 (x 3.000) (y 4.000) (Wnk -53.130°)");
    EXPECT_EQ(r.markerDrawnAt, p);
}

TEST_F(MeasureSessionTest, ClickSetsTheAnchorOnTheHitAndMeasuresFromThere) {
    session.setUnitFactor(1.0);
    session.setDecimals(2);
    session.startGeometry(kClient, view, store);
    const DevicePoint start = at(300, 0);
    session.mouseMove(start.x + 1, start.y + 1);
    const auto erased = session.leftClick(start.x + 1, start.y + 1, view);
    EXPECT_EQ(erased, start);
    EXPECT_FALSE(session.hitMarker().has_value());
    EXPECT_TRUE(session.anchor().set);
    EXPECT_EQ(session.anchor().point.x, 300.0);
    EXPECT_EQ(session.anchor().point.y, 0.0);
    // The anchor's own pixel has no extra pixel in x.
    EXPECT_EQ(session.anchor().pixel, (DevicePoint{start.x - 1, start.y}));

    const DevicePoint above = at(300, 10);
    const auto r = session.mouseMove(above.x, above.y);
    ASSERT_TRUE(r.text.has_value());
    EXPECT_EQ(*r.text, "Abstände: 10.00 (x 0.00) (y 10.00) (Wnk 90.00°)");

    // Moving on within the same candidate leaves the text alone, a unit change shows only
    // with the next hit change.
    session.setUnitFactor(10.0);
    const auto same = session.mouseMove(above.x + 2, above.y + 2);
    EXPECT_FALSE(same.text.has_value());
    EXPECT_FALSE(same.markerDrawnAt.has_value());
    EXPECT_EQ(session.measureText(), "Abstände: 10.00 (x 0.00) (y 10.00) (Wnk 90.00°)");

    // Away from every point: the marker goes and the text is emptied.
    const auto away = session.mouseMove(700, 100);
    EXPECT_EQ(away.markerErasedAt, above);
    ASSERT_TRUE(away.text.has_value());
    EXPECT_EQ(*away.text, "");
    EXPECT_EQ(session.currentHit(), nullptr);
}

TEST_F(MeasureSessionTest, TextsModeShowsTheTextOfTheAnchorUnderTheMouse) {
    EXPECT_EQ(session.startTexts(kClient, view, store),
              MeasureSession::CursorAction::PushCrossHairCursor);
    const SnapCandidate& c = session.snapList().candidates().at(0);
    const auto r = session.mouseMove(c.x, c.y);
    ASSERT_TRUE(r.text.has_value());
    EXPECT_EQ(*r.text, "Text: [Wand ä]");
    // Line end points are not offered in this mode.
    const DevicePoint corner = at(300, 0);
    EXPECT_EQ(*session.mouseMove(corner.x, corner.y).text, "");
}

TEST_F(MeasureSessionTest, ModeChangesAndEndBalanceTheCursor) {
    EXPECT_EQ(session.startGeometry(kClient, view, store),
              MeasureSession::CursorAction::PushMeasureCursor);
    // Switching while measuring pushes nothing more.
    EXPECT_EQ(session.startGeometry(kClient, view, store), MeasureSession::CursorAction::None);
    EXPECT_EQ(session.startTexts(kClient, view, store), MeasureSession::CursorAction::None);
    EXPECT_EQ(session.snapMode(), SnapMode::Texts);
    session.leftClick(10, 10, view);

    EXPECT_EQ(session.end(), MeasureSession::CursorAction::Pop);
    EXPECT_EQ(session.end(), MeasureSession::CursorAction::None);
    EXPECT_TRUE(session.snapList().empty());
    EXPECT_FALSE(session.mouseMove(10, 10).text.has_value());

    // A refresh while off fills the list with the kept mode but the mouse is not snapped.
    session.rebuild(kClient, view, store);
    EXPECT_FALSE(session.snapList().empty());
    EXPECT_FALSE(session.mouseMove(10, 10).text.has_value());

    // The anchor, set by a click without a hit, survives the mode being switched off and on.
    session.startGeometry(kClient, view, store);
    EXPECT_TRUE(session.anchor().set);
    EXPECT_EQ(session.anchor().pixel, (DevicePoint{10, 10}));
    EXPECT_DOUBLE_EQ(session.anchor().point.x, 10.0);
    EXPECT_DOUBLE_EQ(session.anchor().point.y, 40.0);
}

TEST_F(MeasureSessionTest, HiddenAndOutsidePointsWaitForARebuild) {
    DrawingModel model;
    model.store.createElementStore(2);
    model.store.addLine(100, 0, 900, 0, 0, 1, 0);  // end point right of the window
    model.store.addCircle(620, 0, 5, 3, 1, 0);     // on a hidden layer
    model.setLayerVisible(3, false);
    session.startGeometry(kClient, view, model.store);
    ASSERT_EQ(session.snapList().candidates().size(), 1u);
    session.mouseMove(700, 300);
    session.leftClick(50, 50, view);

    // Pan so that the end point lies in the window, and show the layer again: neither is
    // offered, and the anchor stays on its pixel, until the list is rebuilt.
    view.setCurrentView([&] {
        ViewTransform t = view.currentView();
        t.worldOriginX = 600;
        return t;
    }());
    model.setLayerVisible(3, true);
    const DevicePoint end = at(900, 0);
    const DevicePoint centre = at(620, 0);
    ASSERT_TRUE(kClient.contains(end.x, end.y));
    ASSERT_TRUE(kClient.contains(centre.x, centre.y));
    EXPECT_EQ(*session.mouseMove(end.x, end.y).text, "");
    EXPECT_EQ(*session.mouseMove(centre.x, centre.y).text, "");
    EXPECT_EQ(session.anchor().pixel, (DevicePoint{50, 50}));

    session.rebuild(kClient, view, model.store);
    ASSERT_EQ(session.snapList().candidates().size(), 2u);
    EXPECT_EQ(session.anchor().pixel, (DevicePoint{50 - 600, 50}));
    EXPECT_EQ(session.mouseMove(end.x, end.y).markerDrawnAt, end);
    EXPECT_EQ(session.mouseMove(centre.x, centre.y).markerDrawnAt, centre);
}

}  // namespace
}  // namespace planora
