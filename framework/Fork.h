// Copies one signal to every buffer of its output bus.
#pragma once

#include "framework/CircularBuffer.h"
#include "framework/DFModel.h"

namespace CorvaneModelBuilder {

template <typename B>
class Fork : public DFModel {
public:
    B Input;
    CircularBufferBusT<B> Outputs;  // sized by the owner with Resize before Setup

    bool Run() override {
        const auto value = Input.Current();
        for (std::uint64_t i = 0; i < Outputs.Count; ++i) Outputs.Buffers[i].Current() = value;
        return true;
    }
};

extern template class Fork<CircularBuffer<double>>;

}  // namespace CorvaneModelBuilder
