#pragma once
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <random>
#include <vector>

// Project trains and readings for the bulk tools: several bank layouts and unit sets,
// readings scattered around each train's reference state.
namespace hv::bench {

struct TrainLayout {
    QString projectId;
    qint16 train;
    int banks;
    bool usUnits; // gpm, deg F, psi, gfd; else m3/hr, deg C, bar, l/m2/hr
};

const std::vector<TrainLayout>& Layouts();
// `n` project trains, one to three banks and both unit sets in turn.
std::vector<TrainLayout> Layouts(int n);

// The ProjectInfo row of a train's reference state, as the project window stores it.
QVariantMap ReferenceRow(const TrainLayout& t);

// The Data columns a reading is inserted with, and one reading's values in that order.
const QStringList& ReadingColumns();
void ReadingValues(const TrainLayout& t, qint64 hoursAfterReference, std::mt19937_64& rng, QVariantList& out);

} // namespace hv::bench
