#pragma once

namespace hv::links {

// The error numbers a linked box raises, as the windows tell them apart.
constexpr int NoServer = 282;        // no server answers, or it refused the topic
constexpr int ItemRefused = 285;     // the server refused the item
constexpr int Timeout = 286;         // no answer within the bounded wait
constexpr int NoLink = 293;          // a request without an open link

}  // namespace hv::links
