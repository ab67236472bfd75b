#include "export_dialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>
#include <array>

#include "drawing_export.h"
#include "local_file_names.h"
#include "vector_export.h"
#include "viewer_state.h"

namespace planora {

namespace {

struct PaperChoice {
    const char* label;
    double widthMm;  // 0: the drawing's own size
    double heightMm;
    bool trueScale;
};

constexpr std::array<PaperChoice, 11> kPaperChoices = {{
    {"Zeichnungsgröße (1 Einheit = 1 cm)", 0, 0, false},
    {"A4, eingepasst", 210, 297, false},
    {"A4, maßstabsgetreu (1 Einheit = 1 cm)", 210, 297, true},
    {"A3, eingepasst", 297, 420, false},
    {"A3, maßstabsgetreu (1 Einheit = 1 cm)", 297, 420, true},
    {"A2, eingepasst", 420, 594, false},
    {"A2, maßstabsgetreu (1 Einheit = 1 cm)", 420, 594, true},
    {"A1, eingepasst", 594, 841, false},
    {"A1, maßstabsgetreu (1 Einheit = 1 cm)", 594, 841, true},
    {"A0, eingepasst", 841, 1189, false},
    {"A0, maßstabsgetreu (1 Einheit = 1 cm)", 841, 1189, true},
}};

}  // namespace

bool exportWithDialog(ViewerState& state, QWidget* parent) {
    if (!state.drawing.loaded) {
        return false;
    }
    const QString dxf = QStringLiteral("DXF-Zeichnung (*.dxf)");
    const QString pdf = QStringLiteral("PDF-Dokument (*.pdf)");
    const QString svg = QStringLiteral("SVG-Grafik (*.svg)");
    const QString png = QStringLiteral("PNG-Bild (*.png)");
    const QFileInfo drawing(
        fileNameFromLocal(QByteArray::fromStdString(state.drawing.currentDrawingPath)));
    QString selected = dxf;
    QString path = QFileDialog::getSaveFileName(
        parent, QStringLiteral("Exportieren"),
        drawing.absolutePath() + QLatin1Char('/') + drawing.completeBaseName() +
            QStringLiteral(".dxf"),
        QStringList{dxf, pdf, svg, png}.join(QStringLiteral(";;")), &selected);
    if (path.isEmpty()) {
        return false;
    }
    const QString extension = selected == pdf   ? QStringLiteral(".pdf")
                              : selected == svg ? QStringLiteral(".svg")
                              : selected == png ? QStringLiteral(".png")
                                                : QStringLiteral(".dxf");
    if (!path.endsWith(extension, Qt::CaseInsensitive)) {
        path += extension;
    }
    // Never over the drawing itself.
    if (QFileInfo(path).canonicalFilePath() == drawing.canonicalFilePath()) {
        QMessageBox::warning(parent, QStringLiteral("Fehler"),
                             QStringLiteral("Die Zeichnung kann nicht mit sich selbst "
                                            "überschrieben werden."));
        return false;
    }

    VectorExportOptions options;
    options.background = state.renderer.backgroundColour();
    if (selected == pdf) {
        QStringList labels;
        for (const PaperChoice& choice : kPaperChoices) {
            labels << QString::fromUtf8(choice.label);
        }
        bool ok = false;
        const QString label =
            QInputDialog::getItem(parent, QStringLiteral("Exportieren"), QStringLiteral("Papier:"),
                                  labels, 0, false, &ok);
        if (!ok) {
            return false;
        }
        const PaperChoice& choice = kPaperChoices[static_cast<std::size_t>(labels.indexOf(label))];
        if (choice.widthMm > 0) {
            options.pageWidthMm = choice.widthMm;
            options.pageHeightMm = choice.heightMm;
            options.trueScale = choice.trueScale;
            options.background.reset();  // paper stays white
        }
    }

    const std::string target = localFileName(path);
    std::string problem;
    std::size_t skipped = 0;
    if (selected == png) {
        ExportOptions png;
        png.format = ExportFormat::Png;
        state.renderer.invalidateElementCache();
        problem = exportDrawing(state.drawing, state.renderer, target, png);
        state.renderer.invalidateElementCache();
    } else {
        const VectorFormat format = selected == pdf   ? VectorFormat::Pdf
                                    : selected == svg ? VectorFormat::Svg
                                                      : VectorFormat::Dxf;
        const VectorExportResult result =
            exportVectorFile(format, state.drawing, state.renderer, options, target);
        problem = result.error;
        skipped = result.skipped;
    }
    if (!problem.empty()) {
        QMessageBox::warning(parent, QStringLiteral("Fehler"), QString::fromStdString(problem));
        return false;
    }
    if (skipped > 0) {
        QMessageBox::information(
            parent, QStringLiteral("Planora-Info"),
            QStringLiteral("%1 Element(e) mit ungültiger Geometrie wurden nicht exportiert.")
                .arg(skipped));
    }
    return true;
}

}  // namespace planora
