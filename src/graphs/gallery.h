#pragma once
#include <QString>
#include <optional>

#include "graphs/graphprint.h"

namespace hv {

struct Program;

// The gallery keeps up to ten graph pictures, slots 0 to 9, as "Chart<n>.svg" in the graph
// folder, with their titles and the next slot to fill in the settings file.
constexpr int GallerySlotCount = 10;

QString GallerySlotPath(const QString& graphPath, int slot);

// The slot the next capture fills: "Last Tab" as a whole number, 0 when it is above 9,
// negative or not a whole number.
int NextGallerySlot(const QString& iniFile);
// The tab of the latest capture: 9 when "Last Tab" is 0 or above 9, else the value - 1;
// nullopt when it is negative or not a whole number.
std::optional<int> LatestGalleryTab(const QString& iniFile);
// The title stored for the slot, "No title" when there is none.
QString GallerySlotTitle(const QString& iniFile, int slot);

// The title of a capture: the project ID cut to 12 characters, "-", the train, a blank and
// the graph's title, or the first series' legend when the title is empty.
QString ComposeSlotTitle(const QString& projectId, int train, const QString& title, const QString& legend);

// What a capture needs from the graph window.
struct GraphCapture {
    QString projectId; // the current project's
    int train = 0;
    QString title; // the graph window's title box
    ChartPictureWriter chart;
};
struct CapturedSlot {
    int slot = 0;
    QString title;
};

// Saves the chart into the next slot and records its title and the slot after it. A picture
// that cannot be written is reported, and the slot's picture and the settings stay as they were.
std::optional<CapturedSlot> CaptureGraph(Program& p, const GraphCapture& capture);

// Deletes the slot's picture; a missing file is no failure.
void DeleteGallerySlot(const QString& graphPath, int slot);
// Starts the slots again at 0; the titles stay.
void ResetGallerySlots(const QString& iniFile);

// The folder of a name chosen in the folder dialog, or nullopt when it leaves the gallery
// where it is (nothing chosen, a folder shorter than 3 characters, or the same folder).
std::optional<QString> ChosenGalleryFolder(const QString& chosenFile, const QString& graphPath);
// Makes the folder the program's graph folder, marks every slot title " Old" and starts
// the slots again at 0.
void MoveGallery(Program& p, const QString& folder);

} // namespace hv
