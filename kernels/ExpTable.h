// 2^(j/1024) for j = 0 .. 1023 as double-double pairs {hi, lo}, the table of the
// exponential's argument reduction in the correctly rounded kernels. A pair sits
// in 16 aligned bytes, so that a vector kernel takes each lane's pair in one load.
#pragma once

namespace CorvaneModelBuilder::crmath {

extern const double kExpTable[1024][2];

}  // namespace CorvaneModelBuilder::crmath
