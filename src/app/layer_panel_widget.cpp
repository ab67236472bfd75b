#include "layer_panel_widget.h"

#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "text_encoding.h"

// The pictures live in a resource file of a static library; register them once.
static void initLayerResources() {
    Q_INIT_RESOURCE(layers);
}

namespace planora {

namespace {

const QPixmap& layerPicture(bool on) {
    static const QPixmap off(QStringLiteral(":/layers/LayerAus.png"));
    static const QPixmap an(QStringLiteral(":/layers/LayerAn.png"));
    return on ? an : off;
}

// The list keeps its horizontal position when a row becomes current: the name column is wider
// than the panel, and scrolling it into view would push the pictures and numbers out of sight
// with every click on a name.
class LayerListView : public QTreeWidget {
  public:
    using QTreeWidget::QTreeWidget;

    void scrollTo(const QModelIndex& index, ScrollHint hint) override {
        const int x = horizontalScrollBar()->value();
        QTreeWidget::scrollTo(index, hint);
        horizontalScrollBar()->setValue(x);
    }
};

}  // namespace

LayerPanelWidget::LayerPanelWidget(DrawingModel& drawing, QWidget* parent)
    : QWidget(parent), drawing_(drawing) {
    static const bool resourcesReady = (initLayerResources(), true);
    (void)resourcesReady;

    setObjectName(QStringLiteral("LayerStrg"));
    setFixedWidth(kWidth);

    list_ = new LayerListView(this);
    list_->setObjectName(QStringLiteral("layerList"));
    list_->setColumnCount(2);
    list_->setHeaderLabels({QStringLiteral("Nr"), QStringLiteral("Folienname")});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSortingEnabled(false);  // LayerPanel sorts
    list_->setIconSize(layerPicture(false).size());
    list_->header()->setSectionsClickable(true);
    list_->header()->setStretchLastSection(false);
    list_->setColumnWidth(0, 50);
    list_->setColumnWidth(1, 300);

    auto* allOn = new QPushButton(QStringLiteral("alle anschalten"), this);
    auto* allOff = new QPushButton(QStringLiteral("alle ausschalten"), this);
    auto* apply = new QPushButton(QStringLiteral("übernehmen"), this);
    closeButton_ = new QPushButton(QStringLiteral("Schließen"), this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 8, 6, 4);
    layout->setSpacing(4);
    layout->addWidget(list_, 1);
    for (QPushButton* button : {allOn, allOff, apply, closeButton_}) {
        layout->addWidget(button);
    }

    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection&) {
                selectionChanged(selected);
            });
    connect(list_->header(), &QHeaderView::sectionClicked, this, &LayerPanelWidget::headerClicked);
    connect(allOn, &QPushButton::clicked, this, [this] { switchAll(true); });
    connect(allOff, &QPushButton::clicked, this, [this] { switchAll(false); });
    connect(apply, &QPushButton::clicked, this, &LayerPanelWidget::applyChanges);
    connect(closeButton_, &QPushButton::clicked, this, &LayerPanelWidget::applyAndClose);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, &LayerPanelWidget::cancel);

    hide();
}

LayerPanelWidget::~LayerPanelWidget() = default;

void LayerPanelWidget::openPanel(QWidget* toHide) {
    if (open_) {
        return;
    }
    open_ = true;
    hidden_ = toHide;
    fillRows();
    if (hidden_) {
        hidden_->hide();
    }
    show();
    list_->setFocus();
}

void LayerPanelWidget::refresh() {
    if (open_) {
        fillRows();
    }
}

void LayerPanelWidget::fillRows() {
    panel_.fill(drawing_);
    showRows(-1);
}

void LayerPanelWidget::showRows(int selectedRow) {
    // Rebuilding the list must not flip anything.
    const QSignalBlocker block(list_->selectionModel());
    list_->clear();
    const auto& rows = panel_.rows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, QString::fromStdString(LayerPanel::numberText(rows[i].number)));
        item->setText(1, QString::fromStdString(toUtf8FromCp1252(rows[i].name)));
        item->setIcon(0, QIcon(layerPicture(rows[i].on)));
    }
    if (selectedRow >= 0 && selectedRow < list_->topLevelItemCount()) {
        QTreeWidgetItem* item = list_->topLevelItem(selectedRow);
        list_->setCurrentItem(item);
        item->setSelected(true);
    }
    // The view did not hear of the new selection behind the blocked signals: repaint it.
    list_->viewport()->update();
}

void LayerPanelWidget::updatePicture(int row) {
    if (QTreeWidgetItem* item = list_->topLevelItem(row)) {
        item->setIcon(0, QIcon(layerPicture(panel_.rows()[static_cast<std::size_t>(row)].on)));
    }
}

void LayerPanelWidget::selectionChanged(const QItemSelection& selected) {
    for (const QModelIndex& index : selected.indexes()) {
        if (index.column() != 0) {
            continue;
        }
        panel_.flip(static_cast<std::size_t>(index.row()));
        updatePicture(index.row());
    }
}

void LayerPanelWidget::headerClicked(int column) {
    QTreeWidgetItem* current = list_->selectedItems().value(0);
    const int selectedBefore = current ? list_->indexOfTopLevelItem(current) : -1;
    const auto order =
        panel_.sortByColumn(column == 0 ? LayerPanel::Column::Number : LayerPanel::Column::Name);
    int selectedAfter = -1;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (static_cast<int>(order[i]) == selectedBefore) {
            selectedAfter = static_cast<int>(i);
        }
    }
    showRows(selectedAfter);
}

void LayerPanelWidget::switchAll(bool on) {
    panel_.setAll(on);
    for (int row = 0; row < list_->topLevelItemCount(); ++row) {
        updatePicture(row);
    }
    applyChanges();
}

void LayerPanelWidget::applyChanges() {
    emit aboutToChangeLayers();
    panel_.apply(drawing_);
    emit layersChanged();
}

void LayerPanelWidget::applyAndClose() {
    applyChanges();
    closePanel();
}

void LayerPanelWidget::cancel() {
    closePanel();
}

void LayerPanelWidget::closePanel() {
    if (!open_) {
        return;
    }
    open_ = false;
    hide();
    if (hidden_) {
        hidden_->show();
    }
    hidden_.clear();
    emit closed();
}

void LayerPanelWidget::keyPressEvent(QKeyEvent* event) {
    // Return presses the focused button, elsewhere "Schließen", as in a dialog.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            button->click();
        } else {
            closeButton_->click();
        }
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace planora
