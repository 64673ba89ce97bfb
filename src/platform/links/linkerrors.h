#pragma once
#include <QString>

namespace hv::links {

// The error numbers a linked box raises, as the windows tell them apart.
constexpr int NoServer = 282;    // no server answers, or it refused the topic
constexpr int ItemRefused = 285; // the server refused the item
constexpr int Timeout = 286;     // no answer within the bounded wait
constexpr int NoLink = 293;      // a request without an open link
constexpr int InvalidMode = 380; // a link mode other than 0, 1 or 2

// A short description of one of the numbers above, for the "number description" reports.
QString errorDescription(int number);

} // namespace hv::links
