#include "framework/CircularBuffer.h"

namespace CorvaneModelBuilder {

template class CircularBuffer<double>;
template class CircularBuffer<int>;
template class CircularBuffer<std::complex<double>>;
template class CircularBufferBusT<CircularBuffer<double>>;

}  // namespace CorvaneModelBuilder
