#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/DFModel.h"

using namespace CorvaneModelBuilder;

namespace {

// A child whose Setup result is configurable and which records every call.
class Recorder : public DFModel {
public:
    Recorder(std::vector<std::string>& log, std::string name, bool ok)
        : log_(log), name_(std::move(name)), ok_(ok) {}
    bool Setup() override {
        log_.push_back(name_);
        return ok_;
    }

private:
    std::vector<std::string>& log_;
    std::string name_;
    bool ok_;
};

class Composite : public DFModel {
public:
    explicit Composite(std::vector<std::string>& log)
        : a(log, "a", true), b(log, "b", false), c(log, "c", true) {}
    bool Setup() override {
        bool ok = a.Setup();
        ok = b.Setup() && ok;
        ok = c.Setup() && ok;
        return ok;
    }
    Recorder a, b, c;
};

}  // namespace

TEST(DFModel, DefaultOperationsSucceed) {
    DFModel block;
    EXPECT_TRUE(block.Setup());
    EXPECT_TRUE(block.Initialize());
    EXPECT_TRUE(block.Run());
    EXPECT_TRUE(block.Finalize());
    EXPECT_TRUE(block.Spare());
}

TEST(DFModel, CompositeCallsEveryChildAfterAFailure) {
    std::vector<std::string> log;
    Composite composite(log);
    EXPECT_FALSE(composite.Setup());
    EXPECT_EQ(log, (std::vector<std::string>{"a", "b", "c"}));
}

TEST(DFModel, ReportBlockErrorWritesOneLineToStandardError) {
    DFModel block;
    testing::internal::CaptureStderr();
    block.ReportBlockError("Something is wrong");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Something is wrong\n");
}
