#pragma once
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

#include "core/projectrecord.h"

namespace hv {

struct Program;

// The 25 items of a reading, in their fixed order. An item's number is its position in
// every item list, in InputOrder and in the input rows of the entry windows.
constexpr int ItemCount = 25;

namespace item {
enum : int {
    TheDate,
    PermFlow,
    ConcFlow,
    FeedPressure,
    ConcPressure,
    PermBackPress,
    FeeduS,
    PermuS,
    Temperature,
    pH,
    PermFlow_2,
    PermuS_2,
    FeedPressure_2,
    PermBackPress_2,
    ConcPressure_1,
    TurbidityFeed,
    TurbidityRaw,
    ORP,
    SDIFeed,
    SDIRaw,
    PermFlow_3,
    PermuS_3,
    FeedPressure_3,
    ConcPressure_2,
    PermBackPress_3
};
constexpr int FirstUser = TurbidityFeed; // the five user-definable items 15 to 19
constexpr int LastUser = SDIRaw;
} // namespace item

enum class UnitKind { Date, Flow, Pressure, Conductivity, Temperature, PH, User };
enum class ReferenceKind { Date, Column, FeedTemp, RefPH, None };

struct ReadingItem {
    long textId;          // 0 for the fixed texts of items 20 to 24
    const char* listText; // English list text
    const char* column;   // Data column (history) and ProjectInfo column (reference)
    UnitKind unit;
    int banks; // the least bank count for which the item's row stays visible
    ReferenceKind reference;
};

const std::array<ReadingItem, ItemCount>& ReadingItems();

// Captions and units of the five user-definable items, in item order 15 to 19.
struct UserItems {
    std::array<QString, 5> captions;
    std::array<QString, 5> units;
};

// The project's UserDefined row, else the 'Default' row; nullopt when neither exists.
// Database failures reach the caller (DbError).
std::optional<UserItems> ReadUserItems(Program& p, const QString& projectId);

// An item a reading may lack: without a value it is stored as Null, not 0.
bool ItemIsOptional(int item);

// The list text of every item, with the user captions in 15 to 19.
QStringList ItemCaptionList(const UserItems& user);
// The column name of every item, spelled as in the tables.
QStringList ItemFieldList();

// Two or three banks entered bank by bank: PermFlow and PermuS stand for bank 1.
bool HasBankLevelEntry(const ProjectInfoRecord& cp);

// The unit label of an item's row: text with its bank or system tag, and whether it
// has the green background of a value that is normally entered.
struct UnitLabel {
    QString text;
    bool green = false;
    bool serifFont = false; // the date row's label
};
UnitLabel UnitLabelFor(int item, const ProjectInfoRecord& cp, const UserItems& user);

// Whether a row showing the item is usable with this bank count (up to one bank counts
// as one); nullopt above three banks, which leaves the rows as they are.
std::optional<bool> ItemUsableForBanks(int item, int numBanks);

} // namespace hv
