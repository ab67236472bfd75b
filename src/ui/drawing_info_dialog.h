// The dialog "Zeichnungsinformationen": Projekt, Bauwerk, Bauteil, the folder the drawing was
// saved under, the date and the remark lines of one document list entry.
#pragma once

#include <QDialog>

#include <string>
#include <string_view>
#include <vector>

#include "archive_file.h"

class QLabel;
class QListWidget;

namespace planora {

// The lines of one remark text: a leading "*" is dropped, lines end at the byte 0x06, or at a
// 0x07 that comes before the next 0x06, and bytes 0x05 at the start of a line are left out. A
// text that ends with a separator gives an empty last line.
std::vector<std::string> splitRemarkLines(std::string_view text);

class DrawingInfoDialog : public QDialog {
  public:
    // Shows entry slots 2 to 6 in the value fields and the lines of slots 12 to 14 (the remark
    // texts) in the list; the texts are Windows-1252 bytes.
    explicit DrawingInfoDialog(const DocumentEntry& entry, QWidget* parent = nullptr);

    // The shown value of field 201 to 205 (Projekt to Datum).
    QString fieldText(int id) const;
    QStringList remarkLines() const;

  private:
    std::vector<QLabel*> values_;
    QListWidget* remarks_ = nullptr;
};

}  // namespace planora
