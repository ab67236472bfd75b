#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drawing_model.h"
#include "layer_panel.h"

using namespace planora;

namespace {

// A drawing with one line per layer entry (layer number = entry number) and the given layers.
DrawingModel drawingWithLayers(const std::vector<LayerEntry>& layers) {
    DrawingModel model;
    model.store.createElementStore(layers.size() + 1);
    for (const LayerEntry& layer : layers) {
        model.store.addLine(0, 0, 1, 1, layer.number, 1, 1);
    }
    model.layers = layers;
    return model;
}

std::vector<std::int32_t> numbers(const LayerPanel& panel) {
    std::vector<std::int32_t> out;
    for (const LayerRow& row : panel.rows()) {
        out.push_back(row.number);
    }
    return out;
}

std::vector<std::int32_t> layerFields(const DrawingModel& model) {
    std::vector<std::int32_t> out;
    for (const Element& e : model.store.elements()) {
        out.push_back(e.layerField);
    }
    return out;
}

using V = std::vector<std::int32_t>;

}  // namespace

TEST(LayerPanel, FillsSortedByNumberAndTogglesAlternateAscendingDescending) {
    DrawingModel model =
        drawingWithLayers({{3, 1, "Dach"}, {1, 0, "Wände"}, {2, 1, "achsen"}, {10, 1, "Bemaßung"}});
    LayerPanel panel;
    panel.fill(model);
    EXPECT_EQ(numbers(panel), (V{1, 2, 3, 10}));
    EXPECT_EQ(panel.rows()[0], (LayerRow{1, "Wände", false}));
    EXPECT_TRUE(panel.rows()[1].on);

    panel.sortByColumn(LayerPanel::Column::Number);
    EXPECT_EQ(numbers(panel), (V{1, 2, 3, 10})) << "numbers compare as integers, not as text";
    panel.sortByColumn(LayerPanel::Column::Number);
    EXPECT_EQ(numbers(panel), (V{10, 3, 2, 1}));
    panel.sortByColumn(LayerPanel::Column::Number);
    EXPECT_EQ(numbers(panel), (V{1, 2, 3, 10}));

    // The name column has its own toggle; bytes compare case-sensitive ("B" < "D" < "W" < "a").
    panel.sortByColumn(LayerPanel::Column::Name);
    EXPECT_EQ(numbers(panel), (V{10, 3, 1, 2}));
    panel.sortByColumn(LayerPanel::Column::Name);
    EXPECT_EQ(numbers(panel), (V{2, 1, 3, 10}));

    // A new fill sorts by number again but leaves the toggles: the next "Nr" click descends.
    panel.fill(model);
    EXPECT_EQ(numbers(panel), (V{1, 2, 3, 10}));
    EXPECT_FALSE(panel.sortsAscending(LayerPanel::Column::Number));
    panel.sortByColumn(LayerPanel::Column::Number);
    EXPECT_EQ(numbers(panel), (V{10, 3, 2, 1}));
}

TEST(LayerPanel, FlipsAndSetAllReachTheDrawingOnlyWhenApplied) {
    DrawingModel model = drawingWithLayers({{3, 1, "c"}, {1, 1, "a"}, {2, 1, "b"}});
    LayerPanel panel;
    panel.fill(model);
    panel.flip(1);  // layer 2 off
    panel.flip(2);  // layer 3 off
    panel.flip(1);  // layer 2 on again
    panel.flip(7);  // no such row
    EXPECT_TRUE(panel.rows()[1].on);
    EXPECT_FALSE(panel.rows()[2].on);
    EXPECT_EQ(layerFields(model), (V{4, 2, 3})) << "nothing changes before apply";

    // Closing without applying: a fresh fill shows the drawing's state, not the flips.
    panel.fill(model);
    EXPECT_TRUE(panel.rows()[2].on);
    EXPECT_EQ(model.visibleLayerCount(), 3u);

    panel.flip(2);
    panel.apply(model);
    EXPECT_EQ(layerFields(model), (V{-4, 2, 3}));
    EXPECT_EQ(model.layers[0].visible, 0);
    EXPECT_EQ(model.visibleLayerCount(), 2u);

    panel.setAll(false);
    panel.apply(model);
    EXPECT_EQ(layerFields(model), (V{-4, -2, -3}));
    EXPECT_EQ(model.visibleLayerCount(), 0u);
    panel.setAll(true);
    panel.apply(model);
    EXPECT_EQ(layerFields(model), (V{4, 2, 3}));
}

TEST(LayerPanel, RowsOfTheSameNumberApplyInDisplayOrderSoTheLowerRowDecides) {
    DrawingModel model = drawingWithLayers({{2, 1, "A"}, {5, 1, "X"}, {2, 0, "B"}});
    LayerPanel panel;
    panel.fill(model);
    ASSERT_EQ(panel.rows().size(), 3u);
    EXPECT_EQ(panel.rows()[0].name, "A") << "equal numbers keep the file order";
    EXPECT_EQ(panel.rows()[1].name, "B");

    panel.apply(model);
    EXPECT_EQ(model.store.elements()[0].layerField, -3) << "row B (off) comes last";
    EXPECT_EQ(model.layers[0].visible, 0);
    EXPECT_EQ(model.layers[2].visible, 0);

    panel.fill(model);  // both rows of layer 2 now read off
    panel.flip(0);      // A on, B still off
    panel.sortByColumn(LayerPanel::Column::Name);
    panel.sortByColumn(LayerPanel::Column::Name);  // descending: X, B, A
    EXPECT_EQ(panel.rows()[2].name, "A");
    panel.apply(model);
    EXPECT_EQ(model.store.elements()[0].layerField, 3) << "row A (on) comes last now";
    EXPECT_EQ(model.store.elements()[1].layerField, 6);
}

TEST(LayerPanel, DrawingWithoutLayersGivesNoRowsAndApplyChangesNothing) {
    DrawingModel model;
    model.store.createElementStore(1);
    model.store.addLine(0, 0, 1, 1, 4, 1, 1);
    LayerPanel panel;
    panel.fill(model);
    EXPECT_TRUE(panel.rows().empty());
    panel.setAll(false);
    panel.apply(model);
    EXPECT_EQ(model.store.elements()[0].layerField, 5);
}
