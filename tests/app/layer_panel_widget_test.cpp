#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <QImage>
#include <QPainter>

#include <set>

#include "drawing_file.h"
#include "layer_panel_widget.h"
#include "painter_surface.h"
#include "pen_colours.h"
#include "viewer_state.h"

using namespace planora;

namespace {

class LayerPanelWidgetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        model.store.createElementStore(3);
        model.store.addLine(0, 0, 1, 1, 3, 1, 1);
        model.store.addLine(0, 0, 1, 1, 1, 1, 1);
        model.store.addLine(0, 0, 1, 1, 2, 1, 1);
        model.layers = {{3, 1, "Dach"}, {1, 1, "W\xe4nde"}, {2, 1, "Achsen"}};
        window.resize(600, 400);
        documentList = new QWidget(&window);
        panel = new LayerPanelWidget(model, &window);
        panel->setGeometry(0, 0, LayerPanelWidget::kWidth, 400);
        window.show();
        QApplication::setActiveWindow(&window);
    }

    QTreeWidget* list() { return panel->findChild<QTreeWidget*>("layerList"); }
    QPushButton* button(const QString& text) {
        for (QPushButton* b : panel->findChildren<QPushButton*>()) {
            if (b->text() == text) {
                return b;
            }
        }
        return nullptr;
    }
    void select(int row) {
        QTreeWidgetItem* item = list()->topLevelItem(row);
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                          QPoint(20, list()->visualItemRect(item).center().y()));
    }
    std::vector<std::int32_t> fields() const {
        std::vector<std::int32_t> out;
        for (const Element& e : model.store.elements()) {
            out.push_back(e.layerField);
        }
        return out;
    }

    DrawingModel model;
    QWidget window;
    QWidget* documentList = nullptr;
    LayerPanelWidget* panel = nullptr;
};

using V = std::vector<std::int32_t>;

}  // namespace

TEST_F(LayerPanelWidgetTest, SelectingFlipsAndUebernehmenApplies) {
    QSignalSpy changed(panel, &LayerPanelWidget::layersChanged);
    panel->openPanel(documentList);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_FALSE(documentList->isVisible());
    EXPECT_EQ(panel->width(), 158);
    ASSERT_EQ(list()->topLevelItemCount(), 3);
    EXPECT_EQ(list()->topLevelItem(0)->text(0), QStringLiteral("   1"));
    EXPECT_EQ(list()->topLevelItem(0)->text(1), QStringLiteral("Wände"));
    EXPECT_EQ(list()->headerItem()->text(1), QStringLiteral("Folienname"));

    select(1);  // layer 2 off
    select(2);  // layer 3 off
    select(1);  // layer 2 on again
    EXPECT_TRUE(panel->logic().rows()[1].on);
    EXPECT_FALSE(panel->logic().rows()[2].on);
    EXPECT_NE(list()->topLevelItem(2)->icon(0).pixmap(16).toImage(),
              list()->topLevelItem(1)->icon(0).pixmap(16).toImage())
        << "the off picture differs from the on picture";
    EXPECT_EQ(fields(), (V{4, 2, 3}));
    EXPECT_EQ(changed.count(), 0);

    button(QStringLiteral("übernehmen"))->click();
    EXPECT_EQ(fields(), (V{-4, 2, 3}));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(panel->isOpen());

    button(QStringLiteral("alle ausschalten"))->click();
    EXPECT_EQ(fields(), (V{-4, -2, -3}));
    EXPECT_EQ(changed.count(), 2);

    QSignalSpy closed(panel, &LayerPanelWidget::closed);
    button(QStringLiteral("Schließen"))->click();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(documentList->isVisible());
}

TEST_F(LayerPanelWidgetTest, EscapeClosesWithoutApplying) {
    QSignalSpy changed(panel, &LayerPanelWidget::layersChanged);
    QSignalSpy closed(panel, &LayerPanelWidget::closed);
    panel->openPanel(documentList);
    select(0);
    select(2);
    QTest::keyClick(list(), Qt::Key_Escape);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(fields(), (V{4, 2, 3}));
    EXPECT_TRUE(documentList->isVisible());

    // Opening again shows the drawing's state, not the flips that were thrown away.
    panel->openPanel(documentList);
    EXPECT_TRUE(panel->logic().rows()[0].on);
    EXPECT_TRUE(panel->logic().rows()[2].on);
}

TEST_F(LayerPanelWidgetTest, HeaderClicksSortAndTheSelectionStaysWithItsLayer) {
    panel->openPanel(documentList);
    select(0);  // layer 1 off, selected
    QHeaderView* header = list()->header();
    const auto clickHeader = [&](int section) {
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(section) + 5, header->height() / 2));
    };
    clickHeader(0);  // ascending: unchanged
    clickHeader(0);  // descending
    EXPECT_EQ(list()->topLevelItem(0)->text(0), QStringLiteral("   3"));
    ASSERT_EQ(list()->selectedItems().size(), 1);
    EXPECT_EQ(list()->selectedItems()[0]->text(0), QStringLiteral("   1"));
    EXPECT_FALSE(panel->logic().rows()[2].on) << "sorting flips nothing";

    clickHeader(1);  // by name, ascending: Achsen, Dach, Wände
    EXPECT_EQ(list()->topLevelItem(0)->text(1), QStringLiteral("Achsen"));
    EXPECT_EQ(list()->topLevelItem(2)->text(1), QStringLiteral("Wände"));

    select(2);  // already selected: no flip
    EXPECT_FALSE(panel->logic().rows()[2].on);
    button(QStringLiteral("übernehmen"))->click();
    EXPECT_EQ(fields(), (V{4, -2, 3}));
}

TEST(LayerPanelOnAnExample, SwitchingALayerOffRemovesItsColourFromTheDrawing) {
    ViewerState state;
    ASSERT_NE(loadDrawing(state.drawing, PLANORA_EXAMPLES_DIR "/haus-2500.akt"), 0);
    applyLayerFlags(state.drawing);
    // Pens 1 to 8 on the colours 1 to 8.
    applyPenTable(state.renderer, PenNumbers{1, 2, 3, 4, 5, 6, 7, 8});

    // The colours that only layer 1 ("Wände") draws in.
    std::set<std::uint32_t> wallColours;
    std::set<std::uint32_t> otherColours;
    for (const Element& e : state.drawing.store.elements()) {
        if (e.visible()) {
            (e.layer() == 1 ? wallColours : otherColours)
                .insert(state.renderer.penColour(e.penField));
        }
    }
    for (std::uint32_t c : otherColours) {
        wallColours.erase(c);
    }
    ASSERT_FALSE(wallColours.empty());

    const auto render = [&state] {
        QImage image(400, 300, QImage::Format_RGB32);
        image.fill(Qt::black);
        state.view.zoomAll(400, 300, state.drawing.store);
        QPainter painter(&image);
        {
            PainterSurface surface(painter, 400, 300);
            state.renderer.renderDrawing(surface, state.view, state.drawing);
        }
        return image;
    };
    const auto countColours = [](const QImage& image, const std::set<std::uint32_t>& colours) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                const std::uint32_t ref = static_cast<std::uint32_t>(c.red()) |
                                          (static_cast<std::uint32_t>(c.green()) << 8) |
                                          (static_cast<std::uint32_t>(c.blue()) << 16);
                n += colours.count(ref) != 0;
            }
        }
        return n;
    };
    EXPECT_GT(countColours(render(), wallColours), 100);

    QWidget window;
    window.resize(600, 400);
    LayerPanelWidget panel(state.drawing, &window);
    panel.setGeometry(0, 0, LayerPanelWidget::kWidth, 400);
    window.show();
    panel.openPanel(nullptr);
    auto* list = panel.findChild<QTreeWidget*>("layerList");
    ASSERT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("Wände"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      QPoint(20, list->visualItemRect(list->topLevelItem(0)).center().y()));
    for (QPushButton* b : panel.findChildren<QPushButton*>()) {
        if (b->text() == QStringLiteral("übernehmen")) {
            b->click();
        }
    }
    EXPECT_EQ(state.drawing.visibleLayerCount(), 6u) << "7 was off in the file, 1 now";
    EXPECT_EQ(countColours(render(), wallColours), 0);
}
