#include "framework/Fork.h"
#include "framework/TypeConverter.h"

namespace CorvaneModelBuilder {

template class Fork<CircularBuffer<double>>;
template class ScalarToScalar<CircularBuffer<double>, CircularBuffer<int>, TypeConverterRound, DFModel>;

}  // namespace CorvaneModelBuilder
