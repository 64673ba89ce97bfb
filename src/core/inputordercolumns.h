#pragma once
#include <array>

namespace hv {

// The item columns of InputOrder in the order that gives each its meaning: position k
// holds the item of input row k. A two-bank database lacks the last five.
inline constexpr std::array<const char*, 25> InputOrderColumns = {"TheDate",        "PermFlow",
                                                                  "ConcFlow",       "FeedPressure",
                                                                  "ConcPressure",   "PermBackPress",
                                                                  "FeeduS",         "PermuS",
                                                                  "Temperature",    "pH",
                                                                  "PermFlow_2",     "PermuS_2",
                                                                  "FeedPressure_2", "PermBackPress_2",
                                                                  "ConcPressure_1", "TurbidityFeed",
                                                                  "TurbidityRaw",   "ORP",
                                                                  "SDIFeed",        "SDIRaw",
                                                                  "PermFlow_3",     "PermuS_3",
                                                                  "FeedPressure_3", "PermBackPress_3",
                                                                  "ConcPressure_2"};

} // namespace hv
