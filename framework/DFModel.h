// Base of every block of the dataflow framework.
#pragma once

namespace CorvaneModelBuilder {

// A block is driven through Setup -> Initialize -> Run (per firing) -> Finalize.
// Each operation reports success; composites AND their children's results.
class DFModel {
public:
    DFModel() = default;
    DFModel(const DFModel&) = delete;
    DFModel& operator=(const DFModel&) = delete;
    virtual ~DFModel() = default;

    virtual bool Setup() { return true; }
    virtual bool Initialize() { return true; }
    virtual bool Run() { return true; }
    virtual bool Finalize() { return true; }
    // Reserved slot: no block overrides it and nothing calls it.
    virtual bool Spare() { return true; }

    // One diagnostic line on standard error; never reaches the simulator's message.
    void ReportBlockError(const char* text) const;
};

}  // namespace CorvaneModelBuilder
