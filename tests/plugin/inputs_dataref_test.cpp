// reading and writing an input's dataref by its type bits, as a float.
#include <gtest/gtest.h>

#include <cmath>

#include "inputs_fixture.h"
#include "simdata/dataref_access.h"

namespace corvane_inputs_test {
namespace {

class DatarefAccess : public InputsTest {
  protected:
    void SetUp() override {
        InputsTest::SetUp();
        CreateBoardRow(3, sockaddr_in{}, -1);
    }
    int Bind(const std::string& dataref, int element = 1) {
        Entry e;
        e.tag = "D1";
        e.dataref = dataref;
        e.arrayNum = element;
        return AddInput(0, e);
    }
};

TEST_F(DatarefAccess, FloatTakesTheValueAndIntTruncatesTowardZero) {
    const int f = Bind("sim/test/float");
    const int i = Bind("sim/test/int");
    WriteDataref(0, f, 1, 2.75f);
    EXPECT_EQ(Value("sim/test/float"), 2.75);
    EXPECT_EQ(ReadF[0], 2.75f);
    WriteDataref(0, i, 1, 2.75f);
    EXPECT_EQ(Value("sim/test/int"), 2);
    EXPECT_EQ(ReadI[0], 2);
    WriteDataref(0, i, 1, -0.5f);
    EXPECT_EQ(Value("sim/test/int"), 0);
    WriteDataref(0, i, 1, -2.9f);
    EXPECT_EQ(Value("sim/test/int"), -2);
    EXPECT_EQ(ReadDataref(0, i, 1), -2.0f);
}

TEST_F(DatarefAccess, IntWritesOutsideTheIntRangeSaturate) {
    const int i = Bind("sim/test/int");
    WriteDataref(0, i, 1, 1.0e20f);
    EXPECT_EQ(Value("sim/test/int"), 2147483647.0);
    WriteDataref(0, i, 1, -1.0e20f);
    EXPECT_EQ(Value("sim/test/int"), -2147483648.0);
    WriteDataref(0, i, 1, std::nanf(""));
    EXPECT_EQ(Value("sim/test/int"), 0.0);
}

TEST_F(DatarefAccess, ArrayElementsAreOneBasedAndOnlyThatElementChanges) {
    const int ia = Bind("sim/test/int_array", 3);
    WriteDataref(0, ia, 3, 9.8f);
    EXPECT_EQ(xphost::GetDataref("sim/test/int_array"), "0,0,9,0,0,0");
    EXPECT_EQ(ReadDataref(0, ia, 3), 9.0f);
    const int fa = Bind("sim/test/float_array", 8);
    WriteDataref(0, fa, 8, 1.5f);
    EXPECT_EQ(xphost::GetDataref("sim/test/float_array"), "0,0,0,0,0,0,0,1.5");
    EXPECT_EQ(ReadDataref(0, fa, 8), 1.5f);
    EXPECT_EQ(ReadDataref(0, fa, 1), 0.0f);
}

TEST_F(DatarefAccess, ElementsBeyondTheArrayAreNeitherReadNorWritten) {
    const int fa = Bind("sim/test/float_array", 9);
    ASSERT_TRUE(xphost::SetDataref("sim/test/float_array", "1,2,3,4,5,6,7,8"));
    ReadF[0] = 42.0f;
    EXPECT_EQ(ReadDataref(0, fa, 9), 0.0f);
    EXPECT_EQ(ReadDataref(0, fa, 0), 0.0f);
    WriteDataref(0, fa, 9, 5.0f);
    WriteDataref(0, fa, 0, 5.0f);
    WriteDataref(0, fa, 1000000, 5.0f);
    EXPECT_EQ(xphost::GetDataref("sim/test/float_array"), "1,2,3,4,5,6,7,8");
    const int ia = Bind("sim/test/int_array", 7);
    WriteDataref(0, ia, 7, 5.0f);
    EXPECT_EQ(xphost::GetDataref("sim/test/int_array"), "0,0,0,0,0,0");
    EXPECT_EQ(ReadDataref(0, ia, 7), 0.0f);
}

TEST_F(DatarefAccess, IntAndFloatReadsAsIntAndWritesAsFloat) {
    const int both = Bind("sim/test/int_float");
    ASSERT_EQ(InputDrefTypes[0][both], xplmType_Int | xplmType_Float);
    ASSERT_TRUE(xphost::SetDataref("sim/test/int_float", "7.6"));
    EXPECT_EQ(ReadDataref(0, both, 1), 7.0f);
    WriteDataref(0, both, 1, 3.25f);
    EXPECT_EQ(XPLMGetDataf(InputDataPointer[0][both]), 3.25f);
    EXPECT_EQ(ReadDataref(0, both, 1), 3.0f);
}

TEST_F(DatarefAccess, DoubleIsReadAsTheNearestFloatAndWrittenWidened) {
    const int d = Bind("sim/test/double");
    ASSERT_TRUE(xphost::SetDataref("sim/test/double", "0.1"));
    EXPECT_EQ(ReadDataref(0, d, 1), 0.1f);
    EXPECT_EQ(ReadD[0], 0.1);
    WriteDataref(0, d, 1, 0.1f);
    EXPECT_EQ(Value("sim/test/double"), static_cast<double>(0.1f));
}

TEST_F(DatarefAccess, UnhandledTypesReadZeroAndIgnoreWrites) {
    const int bytes = Bind("sim/test/bytes");
    ASSERT_EQ(InputDrefTypes[0][bytes], xplmType_Data);
    EXPECT_EQ(ReadDataref(0, bytes, 1), 0.0f);
    WriteDataref(0, bytes, 1, 65.0f);
    EXPECT_EQ(xphost::GetDataref("sim/test/bytes"), "abc");
    const int missing = Bind("sim/test/no_such_dataref");
    EXPECT_EQ(ReadDataref(0, missing, 1), 0.0f);
    WriteDataref(0, missing, 1, 1.0f);
}

TEST_F(DatarefAccess, InputsThatDoNotExistReadZero) {
    Bind("sim/test/float");
    ASSERT_TRUE(xphost::SetDataref("sim/test/float", "4"));
    EXPECT_EQ(ReadDataref(0, 0, 1), 4.0f);
    EXPECT_EQ(ReadDataref(0, 1, 1), 0.0f);
    EXPECT_EQ(ReadDataref(1, 0, 1), 0.0f);
    EXPECT_EQ(ReadDataref(0xFFFFFFFFu, 0, 1), 0.0f);
    WriteDataref(0, 5, 1, 9.0f);
    WriteDataref(7, 0, 1, 9.0f);
    EXPECT_EQ(Value("sim/test/float"), 4.0);
}

}  // namespace
}  // namespace corvane_inputs_test
