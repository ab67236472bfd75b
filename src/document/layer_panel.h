// The logic of the layer panel ("Folien"): the panel's own copy of the drawing's layers, which
// the user flips on and off, sorts by a column and finally applies to the drawing. Independent
// of any window system; the panel widget only shows the rows and forwards the user's actions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "drawing_model.h"

namespace planora {

struct LayerRow {
    std::int32_t number = 0;
    std::string name;  // Windows-1252 bytes, as in the drawing
    bool on = true;

    friend bool operator==(const LayerRow&, const LayerRow&) = default;
};

class LayerPanel {
  public:
    enum class Column { Number = 0, Name = 1 };

    // Rebuilds the rows from the drawing's layer list and sorts them by number, ascending.
    // Changes that were not applied are lost. The sort toggles are left as they are.
    void fill(DrawingModel& model);

    const std::vector<LayerRow>& rows() const { return rows_; }

    // Inverts the on state of one row (the row the user just selected). Out of range: nothing.
    void flip(std::size_t row);
    // Gives every row the same state ("alle anschalten" / "alle ausschalten").
    void setAll(bool on);

    // Sorts by the column: ascending when its toggle is set, descending when not; then inverts
    // the toggle, so that clicks on one column header alternate, starting ascending. Rows with
    // equal keys keep their order. Names compare byte by byte, case-sensitive. Returns, for each
    // new position, the position the row had before.
    std::vector<std::size_t> sortByColumn(Column column);
    // Whether the next sort by this column is ascending.
    bool sortsAscending(Column column) const {
        return ascending_[static_cast<std::size_t>(column)];
    }

    // Switches every layer of the drawing as its rows say, in display order: with two rows of
    // the same number the lower one decides.
    void apply(DrawingModel& model) const;

    // The first column's text of a row: the number right-aligned in four places.
    static std::string numberText(std::int32_t number);

  private:
    std::vector<LayerRow> rows_;
    std::array<bool, 2> ascending_{true, true};
};

}  // namespace planora
