#pragma once
#include <QDateTime>
#include <QString>
#include <QtGlobal>

namespace hv {

// The in-memory copy of one project train's ProjectInfo row (the current project).
// Field names are the column names.
struct ProjectInfoRecord {
    QString ProjectID;
    qint16 NumBanks = 0;
    qint16 NumTrains = 0;
    qint16 TrainNumber = 0;
    bool TrainsSame = false;
    bool SystemData = false;
    QString Description;
    qint16 DefaultUnits = 0;
    double CapacityM3D = 0;
    qint16 unitFlow = 0;
    qint16 unitTemp = 0;
    qint16 unitPress = 0;
    qint16 unitFlux = 0;
    double ElapsedTimeRef = 0;
    QDateTime DateReference;
    double FeedTemp = 0;
    double FeeduS = 0;
    double PermuS = 0;
    double ConcuS = 0;
    double FeedFlow = 0;
    double ConcFlow = 0;
    double PermFlow = 0;
    double OverallRecovery = 0;
    double FeedPressure = 0;
    double ConcPressure = 0;
    double DeltaPress = 0;
    double PermBackPress = 0;
    qint16 ElementType = 0;
    qint16 NumElementsBank = 0;
    double AreaBank = 0;
    double PermuS_1 = 0;
    double PermuS_2 = 0;
    double PermFlow_1 = 0;
    double PermFlow_2 = 0;
    double FeedPressure_2 = 0;
    double ConcPressure_1 = 0;
    double PermBackPress_1 = 0;
    double PermBackPress_2 = 0;
    qint16 ElementType_1 = 0;
    qint16 ElementType_2 = 0;
    qint16 NumElementsBank_1 = 0;
    qint16 NumElementsBank_2 = 0;
    double AreaBank_1 = 0;
    double AreaBank_2 = 0;
    double DeltaPress_1 = 0;
    double DeltaPress_2 = 0;
    double uStoPPM = 0;
    double uStoPI_Feed = 0;
    double uStoPI_Perm = 0;
    qint16 ElementType_3 = 0;
    qint32 NumElementsBank_3 = 0;
    qint16 ElementsPerVessel_1 = 0;
    qint16 NumVessels_1 = 0;
    qint16 ElementsPerVessel_2 = 0;
    qint16 NumVessels_2 = 0;
    qint16 ElementsPerVessel_3 = 0;
    qint16 NumVessels_3 = 0;
    double AreaBank_3 = 0;
    double DeltaPress_3 = 0;
    double PermFlow_3 = 0;
    double PermuS_3 = 0;
    double FeedPressure_3 = 0;
    double ConcPressure_2 = 0;
    double PermBackPress_3 = 0;
};

} // namespace hv
