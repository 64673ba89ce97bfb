#pragma once
#include <QString>
#include <array>
#include <optional>

namespace hv {

// A number the program put into a box and the text it showed it as: while the box still
// shows that text it stands for the number at full precision, never for its rounded display.
struct HeldNumber {
    QString text;
    double value = 0;
};

// The texts and choices of the project window's entry controls, so that the checks and
// derivations run without a window. The window copies its controls in and the texts back.
struct ProjectBoxes {
    std::array<QString, 27> txtData;
    std::array<QString, 20> grid;               // txtFields(row + column): rows 100..500, columns 0..3
    std::array<int, 4> cboElements{0, 0, 0, 0}; // list index of each element list, -1 for none
    bool chkSystemData = true;
    bool chk2Bank = false;
    bool chkAllTrains = true;
    QString txtNumTrains = QStringLiteral("1");
    QString txtTrainNumber = QStringLiteral("1");
    QString txtElapsedTime = QStringLiteral("1.0");
    QString txtNewProject;
    QString txtDescription;
    std::array<std::optional<HeldNumber>, 27> dataHeld;
    std::array<std::optional<HeldNumber>, 20> gridHeld;
    std::optional<HeldNumber> elapsedHeld;

    // index = row + column, as the grid's control indices
    QString& field(int index) { return grid[slot(index)]; }
    const QString& field(int index) const { return grid[slot(index)]; }
    std::optional<HeldNumber>& fieldHeld(int index) { return gridHeld[slot(index)]; }
    const std::optional<HeldNumber>& fieldHeld(int index) const { return gridHeld[slot(index)]; }

private:
    static size_t slot(int index) { return size_t((index / 100 - 1) * 4 + index % 100); }
};

// The boxes a person typed into, and the element lists chosen from, since a train was shown:
// a value typed equal to the one shown is still typed.
struct TypedBoxes {
    std::array<bool, 27> data{};
    std::array<bool, 20> grid{}; // as ProjectBoxes::grid
    std::array<bool, 4> elements{};
    bool description = false;

    bool field(int index) const { return grid[size_t((index / 100 - 1) * 4 + index % 100)]; }
    void typeField(int index) { grid[size_t((index / 100 - 1) * 4 + index % 100)] = true; }
};

// Where a check sends the user: a box of the window.
struct FocusTarget {
    enum Kind { None, Data, Field, ElapsedTime, NewProject, NumTrains, TrainNumber };
    Kind kind = None;
    int index = 0;
    static FocusTarget data(int i) { return {Data, i}; }
    static FocusTarget field(int i) { return {Field, i}; }
    bool operator==(const FocusTarget&) const = default;
};

} // namespace hv
