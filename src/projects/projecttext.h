#pragma once
#include <QDateTime>
#include <QString>
#include <optional>

#include "projects/projectboxes.h"

namespace hv {

// Number and date forms of the project window's boxes.

// A reference box's number, read by the one number reader: a blank box reads 0, a number may
// end in "%" (a fraction of 100). A box still showing the text of the number the program put
// there gives that number at full precision. nullopt for a text the reader refuses.
std::optional<double> BoxValue(const QString& text, const std::optional<HeldNumber>& held = {});
std::optional<double> DataBoxValue(const ProjectBoxes& b, int i);
std::optional<double> GridBoxValue(const ProjectBoxes& b, int index);
std::optional<double> ElapsedTimeValue(const ProjectBoxes& b);

// Puts a number into a box as FormatValue shows it, holding the number behind the text.
void ShowDataNumber(ProjectBoxes& b, int i, double value);
void ShowGridNumber(ProjectBoxes& b, int index, double value, const QString& text);
void ShowElapsedTime(ProjectBoxes& b, double value);

// The caption of reference box i as designed, and of the other number boxes, as a message
// about what a box holds names them.
QString DataBoxCaption(int i);
QString GridBoxCaption(int index);
QString ElapsedTimeCaption();

// The largest count a train's row holds (16-bit counts).
inline constexpr int MaxCount = 32767;
// A count box's number: a whole number from least to MaxCount; nullopt for anything else,
// which the checks refuse naming the box.
std::optional<int> CountBoxValue(const QString& text, int least = 0);
// A train box as leaving it leaves it: empty, or a whole number below 1, becomes "1"; other
// text stays for the checks to name.
QString TrainBoxText(const QString& text);
QString NumTrainsCaption();
QString TrainNumberCaption();
// Display of a number by magnitude (FormatValue), its digits grouped as the computer groups them.
QString ValueText(double value);

// The day a Null date stands for (day 0 of the stored date numbers).
QDateTime ZeroDate();

} // namespace hv
