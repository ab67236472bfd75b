// The layer panel "LayerStrg": a column at the left of the main window, in place of the
// document list, that lists the drawing's layers with an on/off picture, their number and name.
// Selecting a row flips the layer; the buttons switch all layers, apply, or apply and close;
// Escape closes without applying. The rows and their logic are LayerPanel's.
#pragma once

#include <QPointer>
#include <QWidget>

#include "drawing_model.h"
#include "layer_panel.h"

class QItemSelection;
class QPushButton;
class QTreeWidget;

namespace planora {

class LayerPanelWidget : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kWidth = 158;

    // The panel works on `drawing`, which must outlive it. It starts hidden; the main window
    // creates it once and keeps it, so that the sort order of the columns lasts for the run.
    explicit LayerPanelWidget(DrawingModel& drawing, QWidget* parent = nullptr);
    ~LayerPanelWidget() override;

    // Shows the panel with the drawing's layers and hides `toHide` (the document list) until
    // the panel closes. Does nothing while the panel is open.
    void openPanel(QWidget* toHide);
    bool isOpen() const { return open_; }
    // After a new drawing was loaded: rebuilds the rows when the panel is open.
    void refresh();

    const LayerPanel& logic() const { return panel_; }

    // The button actions, also reachable for the main window's tests.
    void switchAll(bool on);  // "alle anschalten" / "alle ausschalten"
    void applyChanges();      // "übernehmen"
    void applyAndClose();     // "Schließen"
    void cancel();            // Escape: close without applying

  signals:
    // The layers of the drawing are about to be switched: whoever reads the drawing on another
    // thread stops first.
    void aboutToChangeLayers();
    // The drawing's layers changed: repaint it and update "Layer an: %d von %d".
    void layersChanged();
    // The panel closed; the hidden window is shown again.
    void closed();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void fillRows();
    void showRows(int selectedRow);
    void updatePicture(int row);
    void selectionChanged(const QItemSelection& selected);
    void headerClicked(int column);
    void closePanel();

    DrawingModel& drawing_;
    LayerPanel panel_;
    bool open_ = false;
    QPointer<QWidget> hidden_;
    QTreeWidget* list_ = nullptr;
    QPushButton* closeButton_ = nullptr;
};

}  // namespace planora
