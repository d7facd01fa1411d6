// 2^(j/1024) for j = 0 .. 1023 as double-double pairs (hi + lo), the table of the
// exponential's argument reduction in the correctly rounded kernels.
#pragma once

namespace CorvaneModelBuilder::crmath {

extern const double kExpTableHi[1024];
extern const double kExpTableLo[1024];

}  // namespace CorvaneModelBuilder::crmath
