#include "graphs/graphprint.h"

#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSvgRenderer>
#include <filesystem>
#include <system_error>

#include "core/mlstring.h"
#include "core/program.h"
#include "core/typedinput.h"

namespace hv {

const QString PrintToPdf = QStringLiteral("Print to PDF");

std::optional<QString> WritePictureFile(const QString& path, const PictureFileWriter& write) {
    const QString temporary = path + QStringLiteral(".tmp");
    {
        // Opened here first so that a folder or file that refuses the write is named in the
        // system's words; the writer itself only says yes or no.
        QFile probe(temporary);
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Truncate)) return probe.errorString();
    }
    std::optional<QString> failure =
        write ? write(temporary) : std::optional<QString>(QStringLiteral("the picture was not written"));
    if (!failure && QFileInfo(temporary).size() <= 0) failure = QStringLiteral("the picture was not written");
    if (failure) {
        QFile::remove(temporary);
        return failure;
    }
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(QFile::encodeName(temporary).toStdString()),
                            std::filesystem::path(QFile::encodeName(path).toStdString()), error);
    if (error) {
        QFile::remove(temporary);
        return QString::fromLocal8Bit(error.message());
    }
    return std::nullopt;
}

QString PictureFailureText(const QString& path, const QString& reason) {
    return QStringLiteral("The graph image could not be saved as ") + path + QStringLiteral(": ") + reason;
}

std::optional<QString> SavePictureWithPaddedLegend(const ChartPictureWriter& chart, const QString& path) {
    if (chart.setLegend) chart.setLegend(chart.legend + QStringLiteral("     "));
    const std::optional<QString> failure =
        WritePictureFile(path, [&chart](const QString& file) -> std::optional<QString> {
            if (!chart.savePicture) return QStringLiteral("the picture was not written");
            if (std::optional<QString> failure = chart.savePicture(file)) return failure;
            // What the print job and the gallery cannot read back is no picture for them.
            if (!QSvgRenderer().load(file))
                return QStringLiteral("the picture written is not a readable SVG file");
            return std::nullopt;
        });
    if (chart.setLegend) chart.setLegend(chart.legend);
    return failure;
}

QString JpegFileName(const QString& chosen) {
    if (chosen.right(4).toLower() == QLatin1String(".jpg")) return chosen;
    return chosen + QStringLiteral(".jpg");
}

PictureFile ChosenPictureFile(const QString& chosen) {
    // A PNG name is the user's choice of form, never a JPEG hidden under "x.png.jpg".
    if (chosen.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)) return {chosen, PictureKind::Png};
    return {JpegFileName(chosen), PictureKind::Jpeg};
}

void SaveGraphJpeg(Program& p, const PictureFileWriter& saveJpeg, const PictureFileWriter& savePng) {
    const QString chosen = p.prompts.saveFile(
        QStringLiteral("Open"), QStringLiteral("JPG Files (*.jpg)|*.jpg|All Files (*.*)|*.*"), p.GraphPath);
    if (chosen.isEmpty()) return;
    const PictureFile file = ChosenPictureFile(chosen);
    // A picture the user believes saved but that is not there would be found missing too late.
    if (const std::optional<QString> failure =
            WritePictureFile(file.path, file.kind == PictureKind::Png ? savePng : saveJpeg))
        p.prompts.message(PictureFailureText(file.path, *failure), Buttons::OK, Icon::Critical, Title);
}

bool WriteCurrentGraphPicture(Program& p, const ChartPictureWriter& chart) {
    const QString path = p.AppDataFolder + QStringLiteral("/Chartx.svg");
    if (const std::optional<QString> failure = SavePictureWithPaddedLegend(chart, path)) {
        p.prompts.message(PictureFailureText(path, *failure), Buttons::OK, Icon::Critical, Title);
        return false;
    }
    p.PrintFilePath = path;
    return true;
}

QString CurrentGraphHeader(const QString& projectId, int train, const QDate& printed) {
    return projectId + GetMlString(473, QStringLiteral(", Train:")) + QString::number(train) +
           GetMlString(472, QStringLiteral("  Date Printed: ")) + ShortDateText(printed);
}

QString GalleryHeader(const QString& note, const QDate& printed) {
    return note + GetMlString(478, QStringLiteral("   ...Graph printed on: ")) + ShortDateText(printed);
}

PrinterChoices ListPrinters(const QStringList& installed, const QString& defaultName) {
    if (installed.isEmpty()) return {{PrintToPdf}, 0};
    PrinterChoices c{installed, int(installed.indexOf(defaultName))};
    // A system without a default printer still gets one preselected.
    if (c.current < 0) c.current = 0;
    return c;
}

PrinterChoices InstalledPrinters() {
    return ListPrinters(QPrinterInfo::availablePrinterNames(), QPrinterInfo::defaultPrinterName());
}

std::optional<PrintFailure> PrintGraphPage(QPrinter& printer, const QString& header,
                                           const QString& picturePath) {
    if (!QFileInfo(picturePath).isFile())
        return PrintFailure{printerr::FileNotFound, QStringLiteral("File not found")};
    QSvgRenderer picture;
    if (!picture.load(picturePath))
        return PrintFailure{printerr::InvalidPicture, QStringLiteral("Invalid picture: ") + picturePath};

    printer.setPageOrientation(QPageLayout::Landscape);
    const QString device =
        printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : printer.printerName();
    QPainter painter;
    if (!painter.begin(&printer))
        return PrintFailure{printerr::PrinterError,
                            QStringLiteral("Printer error: cannot print to ") + device};

    const double dpiX = printer.logicalDpiX() / 1440.0;
    const double dpiY = printer.logicalDpiY() / 1440.0;
    painter.translate(360 * dpiX, 720 * dpiY);
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSizeF(11);
    painter.setFont(font);
    const QFontMetricsF metrics(font, &printer);
    painter.drawText(QPointF(0, metrics.ascent()), QStringLiteral("      ") + header);
    picture.render(&painter, QRectF(500 * dpiX, 500 * dpiY, 12400 * dpiX, 9000 * dpiY));

    if (!painter.end() || printer.printerState() == QPrinter::Error)
        return PrintFailure{printerr::PrinterError,
                            QStringLiteral("Printer error: the page did not reach ") + device};
    return std::nullopt;
}

QString PrintFailureText(const PrintFailure& f) {
    if (f.number == printerr::FileNotFound)
        return GetMlString(
            479, QStringLiteral("There is no file to print, please select a tab with a graph in it."));
    return GetMlString(480, QStringLiteral("Error ")) + QString::number(f.number) + QLatin1Char(' ') +
           f.description;
}

QString PrintedToPdfText(const QString& file) {
    return QStringLiteral("The graph was printed to ") + file + QLatin1Char('.');
}

} // namespace hv
