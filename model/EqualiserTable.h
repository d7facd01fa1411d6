// The equaliser's characterised impulse responses, embedded in the library.
#pragma once

#include <cstdint>

namespace EqualiserTable {

constexpr int kPoints = 641;  // points per response, 1.5625 ps apart
constexpr int kSets = 816;    // set 48 g + 6 z + 3 b + c
constexpr std::uint64_t kValues = static_cast<std::uint64_t>(kPoints) * kSets;

// kPoints x kSets doubles, first dimension contiguous: set s occupies
// elements s * kPoints ... s * kPoints + kPoints - 1. Units 1/s.
const double* Responses();
// kPoints time stamps in seconds, 0 ... 1 ns.
const double* TimeStamps();

}  // namespace EqualiserTable
