#include "general_options_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace planora {

GeneralOptionsDialog::GeneralOptionsDialog(int titleMode, bool printToChecked, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("OptionenAllgemein"));
    setWindowTitle(QStringLiteral("Allgemeine Einstellungen"));

    auto* group = new QGroupBox(QStringLiteral("Information in Titelzeile"), this);
    auto* groupLayout = new QVBoxLayout(group);
    const char* texts[] = {"nur Programmname", "Programmname und Dateiname",
                           "Programmname und Dateiname mit Pfad"};
    for (int i = 0; i < 3; ++i) {
        titleButtons_[i] = new QRadioButton(QString::fromUtf8(texts[i]), group);
        titleButtons_[i]->setObjectName(QString::number(400 + i));
        groupLayout->addWidget(titleButtons_[i]);
    }
    // Radio buttons of one group exclude each other only once one of them is checked, so a
    // stored mode outside 0..2 shows all three unchecked.
    if (titleMode >= 0 && titleMode <= 2) {
        titleButtons_[titleMode]->setChecked(true);
    }

    printTo_ =
        new QCheckBox(QStringLiteral("   Drucken mittels Drag und Drop ist aktiviert"), this);
    printTo_->setObjectName(QStringLiteral("403"));
    printTo_->setChecked(printToChecked);
    shortcut_ = new QCheckBox(QStringLiteral("   Verknüpfung auf dem Desktop einrichten"), this);
    shortcut_->setObjectName(QStringLiteral("404"));

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    buttons->addButton(QStringLiteral("Abbruch"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(printTo_);
    layout->addWidget(shortcut_);
    layout->addWidget(buttons);
}

std::optional<int> GeneralOptionsDialog::chosenTitleMode() const {
    for (int i = 0; i < 3; ++i) {
        if (titleButtons_[i]->isChecked()) {
            return i;
        }
    }
    return std::nullopt;
}

bool GeneralOptionsDialog::printToChecked() const {
    return printTo_->isChecked();
}

bool GeneralOptionsDialog::shortcutChecked() const {
    return shortcut_->isChecked();
}

}  // namespace planora
