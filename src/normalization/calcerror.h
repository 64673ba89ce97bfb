#pragma once
#include <cmath>

#include "platform/dberror.h"

namespace hv {

// Run-time errors of the calculations, with the numbers and texts the users know.
// Floating point here never yields an infinity or a NaN: every step that would is
// raised as the error the original run time gave for it.
namespace calcerr {
constexpr long InvalidCall = 5; // logarithm, square root or power out of domain
constexpr long Overflow = 6;    // result too large, or zero divided by zero
constexpr long SubscriptOutOfRange = 9;
constexpr long DivisionByZero = 11;

[[noreturn]] void raise(long number);

// a / b
inline double div(double a, double b) {
    if (b == 0.0) raise(a == 0.0 ? Overflow : DivisionByZero);
    const double r = a / b;
    if (!std::isfinite(r)) raise(Overflow);
    return r;
}

inline double ln(double x) {
    if (!(x > 0.0) || !std::isfinite(x)) raise(InvalidCall);
    return std::log(x);
}

inline double exp(double x) {
    const double r = std::exp(x);
    if (!std::isfinite(r)) raise(Overflow);
    return r;
}

inline double sqrt(double x) {
    if (!(x >= 0.0)) raise(InvalidCall);
    return std::sqrt(x);
}

// a ^ b
inline double pow(double a, double b) {
    if (a < 0.0 && b != std::trunc(b)) raise(InvalidCall);
    if (a == 0.0 && b < 0.0) raise(InvalidCall);
    const double r = std::pow(a, b);
    if (!std::isfinite(r)) raise(Overflow);
    return r;
}

// A value about to be kept: an overflow of a sum or product shows here.
inline double finite(double x) {
    if (!std::isfinite(x)) raise(Overflow);
    return x;
}
} // namespace calcerr

} // namespace hv
