#pragma once
#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QPrinter;

namespace hv {

struct Program;

// Writes a picture file at the path it is given; the reason in the system's words when the
// file was not written whole, else nothing.
using PictureFileWriter = std::function<std::optional<QString>(const QString& path)>;

// What the graph window hands over when a picture of its chart is wanted: the legend
// text of the first series, a way to change it and a way to save the chart as SVG.
struct ChartPictureWriter {
    QString legend;
    std::function<void(const QString& legend)> setLegend;
    PictureFileWriter savePicture;
};

// Writes the picture into "<path>.tmp" and puts it in the place of the file only when the
// writer succeeded, so that a failure leaves the file that was there as it was. Returns the
// reason of a failure in the system's words, or nothing.
std::optional<QString> WritePictureFile(const QString& path, const PictureFileWriter& write);

// The message of a picture that could not be saved.
QString PictureFailureText(const QString& path, const QString& reason);

// Saves the picture through WritePictureFile with five spaces after the first legend text,
// so that the legend does not touch the frame on paper, then puts the legend back as it was.
// A file that does not read back as an SVG picture is a failure. Returns its reason, or nothing.
std::optional<QString> SavePictureWithPaddedLegend(const ChartPictureWriter& chart, const QString& path);

// The chosen JPEG name with ".jpg" appended unless its last four characters already
// are ".jpg" in any case.
QString JpegFileName(const QString& chosen);

// The file a name chosen for a picture is written to, and in which form: a name ending in
// ".png" in any case is a PNG picture under that name, any other a JPEG under JpegFileName.
enum class PictureKind { Jpeg, Png };
struct PictureFile {
    QString path;
    PictureKind kind = PictureKind::Jpeg;
};
PictureFile ChosenPictureFile(const QString& chosen);

// Asks for a picture file name under the graph folder and saves the chart there in the form
// the name asks for; nothing is written when the user cancels; a failed save is reported and
// leaves the file as it was.
void SaveGraphJpeg(Program& p, const PictureFileWriter& saveJpeg, const PictureFileWriter& savePng);

// Writes "Chartx.svg" in the data folder for the current-graph print dialog and makes it
// the file the next print job prints. A picture that cannot be written is reported and
// `PrintFilePath` stays as it was; false then.
bool WriteCurrentGraphPicture(Program& p, const ChartPictureWriter& chart);

// Header texts of the two print dialogs; the print job puts six spaces before them.
QString CurrentGraphHeader(const QString& projectId, int train, const QDate& printed);
QString GalleryHeader(const QString& note, const QDate& printed);

// The printer list: the installed printers in the system's order and the position of the
// default one; "Print to PDF" alone when none is installed.
extern const QString PrintToPdf;
struct PrinterChoices {
    QStringList names;
    int current = -1;
};
PrinterChoices ListPrinters(const QStringList& installed, const QString& defaultName);
PrinterChoices InstalledPrinters();

// A print job that did not reach the printer: the error number and its description.
struct PrintFailure {
    long number = 0;
    QString description;
};
namespace printerr {
constexpr long FileNotFound = 53;
constexpr long InvalidPicture = 481;
constexpr long PrinterError = 482;
} // namespace printerr

// One landscape page: six spaces and the header in Courier New 11 with an empty line under
// it, then the picture at (500, 500), 12400 x 9000 twips, from an origin 360 twips right and
// 720 twips down from the printable corner. The picture is read before the printer starts,
// so a missing or unreadable file prints nothing.
std::optional<PrintFailure> PrintGraphPage(QPrinter& printer, const QString& header,
                                           const QString& picturePath);

// The message a failed job shows.
QString PrintFailureText(const PrintFailure& f);
// The message of a job printed to a PDF file.
QString PrintedToPdfText(const QString& file);

} // namespace hv
