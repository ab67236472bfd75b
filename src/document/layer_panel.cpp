#include "layer_panel.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

namespace planora {

void LayerPanel::fill(DrawingModel& model) {
    rows_.clear();
    for (const LayerEntry* entry = model.nextLayer(true); entry != nullptr;
         entry = model.nextLayer(false)) {
        rows_.push_back(LayerRow{entry->number, entry->name, entry->visible != 0});
    }
    std::stable_sort(rows_.begin(), rows_.end(),
                     [](const LayerRow& a, const LayerRow& b) { return a.number < b.number; });
}

void LayerPanel::flip(std::size_t row) {
    if (row < rows_.size()) {
        rows_[row].on = !rows_[row].on;
    }
}

void LayerPanel::setAll(bool on) {
    for (LayerRow& row : rows_) {
        row.on = on;
    }
}

std::vector<std::size_t> LayerPanel::sortByColumn(Column column) {
    const std::size_t c = static_cast<std::size_t>(column);
    const bool ascending = ascending_[c];
    // std::string compares its bytes as unsigned char, i.e. byte by byte and case-sensitive.
    auto less = [this, column](std::size_t a, std::size_t b) {
        const LayerRow& ra = rows_[a];
        const LayerRow& rb = rows_[b];
        return column == Column::Number ? ra.number < rb.number : ra.name < rb.name;
    };
    std::vector<std::size_t> order(rows_.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    if (ascending) {
        std::stable_sort(order.begin(), order.end(), less);
    } else {
        std::stable_sort(order.begin(), order.end(),
                         [&less](std::size_t a, std::size_t b) { return less(b, a); });
    }
    std::vector<LayerRow> sorted;
    sorted.reserve(rows_.size());
    for (std::size_t from : order) {
        sorted.push_back(std::move(rows_[from]));
    }
    rows_ = std::move(sorted);
    ascending_[c] = !ascending;
    return order;
}

void LayerPanel::apply(DrawingModel& model) const {
    for (const LayerRow& row : rows_) {
        model.setLayerVisible(row.number, row.on);
    }
}

std::string LayerPanel::numberText(std::int32_t number) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%4d", static_cast<int>(number));
    return buffer;
}

}  // namespace planora
