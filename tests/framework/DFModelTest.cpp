#include <gtest/gtest.h>

#include "framework/DFModel.h"
#include "model/Velkor_Rx.h"

using namespace CorvaneModelBuilder;

TEST(DFModel, DefaultOperationsSucceed) {
    DFModel block;
    EXPECT_TRUE(block.Setup());
    EXPECT_TRUE(block.Initialize());
    EXPECT_TRUE(block.Run());
    EXPECT_TRUE(block.Finalize());
    EXPECT_TRUE(block.Spare());
}

TEST(DFModel, CompositeSetsUpEveryChildAfterAFailure) {
    // The receiver's equaliser fails at 0 samples per bit (a sample rate of 0);
    // the blocks set up after it still get their parameters, and the ports their rates.
    Velkor_Rx model;
    model.SamplesPerBit = 0;
    model.CDR_Threshold = 5;
    model.corner = 2;
    double cells[4] = {0, 0, 0, 0};
    model.InputPort.Attach(&cells[0], 1);
    model.OutputPort.Attach(&cells[1], 1);
    model.ClockPort.Attach(&cells[2], 1);
    model.IndexPort.Attach(&cells[3], 1);
    model.InputPort.Rate = 0;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(model.Setup());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "SampleRate must be > 0.0\n");
    EXPECT_EQ(model.DcBlock.Corner, 2);
    EXPECT_EQ(model.IndexFork.Outputs.Count, 2u);
    EXPECT_EQ(model.InputPort.Rate, 1u);
}

TEST(DFModel, ReportBlockErrorWritesOneLineToStandardError) {
    DFModel block;
    testing::internal::CaptureStderr();
    block.ReportBlockError("Something is wrong");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Something is wrong\n");
}
