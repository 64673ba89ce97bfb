#pragma once
#include <QString>
#include <QtGlobal>

namespace hv {

// One membrane element's coefficients from table ElementSpecs.
struct ElementSpecRecord {
    qint32 ID = 0;
    QString Model;
    bool Custom = false;
    double SE = 0;     // element membrane area
    double TALow = 0;  // TA(<=25)
    double TAHigh = 0; // TA(>25)
    double TBLow = 0;  // TB(<=25)
    double TBHigh = 0; // TB(>25)
    double DP1 = 0, DP2 = 0, DP3 = 0, DP4 = 0;
    qint32 ListPos = 0;
};

} // namespace hv
