#include "drawing_info_dialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "text_encoding.h"

namespace planora {

std::vector<std::string> splitRemarkLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    if (!text.empty() && text.front() == '*') {
        pos = 1;
    }
    for (;;) {
        while (pos < text.size() && text[pos] == '\x05') {
            ++pos;
        }
        const std::size_t six = text.find('\x06', pos);
        const std::size_t seven = text.find('\x07', pos);
        // A 0x07 ends the line only when a 0x06 follows it somewhere.
        std::size_t end = six;
        if (six != std::string_view::npos && seven != std::string_view::npos && seven < six) {
            end = seven;
        }
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(pos));
            return lines;
        }
        lines.emplace_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
}

namespace {

QString fromCp1252(const std::optional<std::string>& text) {
    return text ? QString::fromStdString(toUtf8FromCp1252(*text)) : QString();
}

}  // namespace

DrawingInfoDialog::DrawingInfoDialog(const DocumentEntry& entry, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("ZINFODLG"));
    setWindowTitle(QStringLiteral("Zeichnungsinformationen"));
    setSizeGripEnabled(true);

    auto* group = new QGroupBox(this);
    auto* grid = new QGridLayout(group);
    auto value = [this](int id) {
        auto* label = new QLabel(this);
        label->setObjectName(QString::number(id));
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setMinimumWidth(200);
        values_.push_back(label);
        return label;
    };
    const auto& t = entry.texts;
    const std::size_t info = DocumentEntry::kFirstInfo;
    grid->addWidget(new QLabel(QStringLiteral("Projekt"), group), 0, 0);
    grid->addWidget(value(201), 0, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Bauwerk"), group), 1, 0);
    grid->addWidget(value(202), 1, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Bauteil"), group), 2, 0);
    grid->addWidget(value(203), 2, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("gespeichert unter"), group), 3, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Datum"), group), 3, 2);
    grid->addWidget(value(205), 3, 3);
    grid->addWidget(value(204), 4, 0, 1, 4);
    auto setField = [&](int id, std::size_t slot) {
        for (QLabel* label : values_) {
            if (label->objectName() == QString::number(id)) {
                label->setText(fromCp1252(t[slot]));
            }
        }
    };
    for (int i = 0; i < 5; ++i) {
        setField(201 + i, info + static_cast<std::size_t>(i));
    }

    remarks_ = new QListWidget(this);
    remarks_->setObjectName(QStringLiteral("210"));
    remarks_->setSortingEnabled(false);
    for (std::size_t i : {10u, 11u, 12u}) {
        if (const auto& text = t[info + i]) {
            for (const std::string& line : splitRemarkLines(*text)) {
                remarks_->addItem(QString::fromStdString(toUtf8FromCp1252(line)));
            }
        }
    }

    auto* close = new QPushButton(QStringLiteral("Schließen"), this);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(new QLabel(QStringLiteral("Bemerkungen"), this));
    layout->addWidget(remarks_);
    layout->addWidget(close, 0, Qt::AlignHCenter);
}

QString DrawingInfoDialog::fieldText(int id) const {
    for (const QLabel* label : values_) {
        if (label->objectName() == QString::number(id)) {
            return label->text();
        }
    }
    return {};
}

QStringList DrawingInfoDialog::remarkLines() const {
    QStringList lines;
    for (int i = 0; i < remarks_->count(); ++i) {
        lines << remarks_->item(i)->text();
    }
    return lines;
}

}  // namespace planora
