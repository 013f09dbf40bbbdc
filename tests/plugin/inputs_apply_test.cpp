// input messages applied to commands and datarefs.
#include <gtest/gtest.h>

#include "exchange/input_dispatch.h"
#include "inputs_fixture.h"
#include "simdata/apply_input.h"

namespace corvane_inputs_test {
namespace {

using Strings = std::vector<std::string>;

class ApplyInputs : public InputsTest {
  protected:
    void SetUp() override {
        InputsTest::SetUp();
        CreateBoardRow(3, sockaddr_in{}, -1);
    }
    void Send(const std::string& text) { HandleInputMessage(Message(0, text)); }
    int Stepper(const std::string& t, const std::string& dataref, float step, int direction,
                std::vector<float> range) {
        Entry e;
        e.tag = t;
        e.dataref = dataref;
        e.defaultValue = step;
        e.direction = direction;
        e.range = std::move(range);
        return AddInput(0, e);
    }
    void Set(const std::string& name, const std::string& value) {
        ASSERT_TRUE(xphost::SetDataref(name, value));
    }
};

TEST_F(ApplyInputs, ButtonOnACommandRunsItOnce) {
    Entry e;
    e.tag = "B5";
    e.command = "sim/lights/landing_lights_toggle";
    AddInput(0, e);
    Send("B5");
    EXPECT_EQ(Commands(), (Strings{"sim/lights/landing_lights_toggle:begin",
                                   "sim/lights/landing_lights_toggle:end"}));
    Send("B6");
    EXPECT_TRUE(Commands().empty());
}

TEST_F(ApplyInputs, CommandCountRunsItThatManyTimesAndIsBounded) {
    Entry e;
    e.tag = "B5";
    e.command = "sim/lights/landing_lights_toggle";
    const int i = AddInput(0, e);
    tag = {"B5"};
    WriteToXPlane(0, i, 0, 0);
    EXPECT_TRUE(Commands().empty());
    WriteToXPlane(0, i, 0, 4);
    EXPECT_EQ(Commands().size(), 8u);
    WriteToXPlane(0, i, 0, 0xFFFFFFFFu);
    EXPECT_EQ(Commands().size(), 2u * kMaxRepeatCount);
}

TEST_F(ApplyInputs, PlainPressWritesTheSetValue) {
    Entry e;
    e.tag = "D3";
    e.dataref = "sim/test/float";
    e.defaultValue = 3.0f;
    AddInput(0, e);
    Send("D3");
    EXPECT_EQ(Value("sim/test/float"), 3.0);
}

TEST_F(ApplyInputs, EncoderWrapsAroundZeroTo360) {
    Stepper("E1+", "sim/test/heading", 1.0f, 1, {0, 360});
    Stepper("E1-", "sim/test/heading", 1.0f, -1, {0, 360});
    Set("sim/test/heading", "359.5");
    Send("E1+");
    EXPECT_FLOAT_EQ(Value("sim/test/heading"), 0.5);
    Send("E1-");
    EXPECT_FLOAT_EQ(Value("sim/test/heading"), 359.5);
    Set("sim/test/heading", "100");
    Send("E1+");
    EXPECT_FLOAT_EQ(Value("sim/test/heading"), 101);
}

TEST_F(ApplyInputs, EncoderWrapsAroundOneToTwelve) {
    Stepper("E2+", "sim/test/selector", 1.0f, 1, {1, 12});
    Stepper("E2-", "sim/test/selector", 1.0f, -1, {1, 12});
    Set("sim/test/selector", "12");
    Send("E2+");
    EXPECT_EQ(Value("sim/test/selector"), 2);  // upper - lower = 11 is taken off
    Set("sim/test/selector", "1");
    Send("E2-");
    EXPECT_EQ(Value("sim/test/selector"), 12);  // 0 + upper
    Send("E2-");
    EXPECT_EQ(Value("sim/test/selector"), 11);
}

TEST_F(ApplyInputs, SingleLimitStopsTheStepButTheCrossingStepIsTakenInFull) {
    Stepper("E3+", "sim/test/float", 0.1f, 1, {1});
    Stepper("E3-", "sim/test/float", 0.1f, -1, {0});
    Set("sim/test/float", "0.95");
    Send("E3+");
    EXPECT_NEAR(Value("sim/test/float"), 1.05, 1e-6);
    Send("E3+");
    EXPECT_NEAR(Value("sim/test/float"), 1.05, 1e-6);
    Set("sim/test/float", "0");
    Send("E3-");
    EXPECT_EQ(Value("sim/test/float"), 0.0);
}

TEST_F(ApplyInputs, RepeatCountOfAnEMessageMultipliesTheStep) {
    Stepper("E4+", "sim/test/float", 2.0f, 1, {});
    Set("sim/test/float", "10");
    Send(std::string("E4+ ") + '\x03');
    EXPECT_EQ(Value("sim/test/float"), 16.0);
    Send("E4+");  // no count field: one step
    EXPECT_EQ(Value("sim/test/float"), 18.0);
    // Without a second token the count is not applied, whatever it is.
    tag = {"E4+"};
    WriteToXPlane(0, 0, 1, 7);
    EXPECT_EQ(Value("sim/test/float"), 20.0);
}

TEST_F(ApplyInputs, RepeatCountsOf128AndMoreAreUnsignedBytes) {
    Stepper("E4+", "sim/test/float", 1.0f, 1, {});
    Set("sim/test/float", "0");
    Send(std::string("E4+ ") + '\xC8');  // 200
    EXPECT_EQ(Value("sim/test/float"), 200.0);
    Send(std::string("E4+ ") + '\xFF');
    EXPECT_EQ(Value("sim/test/float"), 455.0);
}

TEST_F(ApplyInputs, LargeCountsStillWrapIntoTheRange) {
    Stepper("E2+", "sim/test/selector", 1.0f, 1, {1, 12});
    Stepper("E5+", "sim/test/heading", 1.0f, 1, {0, 360});
    Stepper("E5-", "sim/test/heading", 1.0f, -1, {0, 360});
    Set("sim/test/selector", "5");
    Send(std::string("E2+ ") + '\x1E');  // 5 + 30 = 35, three spans of 11 off
    EXPECT_EQ(Value("sim/test/selector"), 2);
    Set("sim/test/heading", "100");
    Send(std::string("E5+ ") + '\xFF');
    Send(std::string("E5+ ") + '\xFF');  // 610 -> 250
    EXPECT_FLOAT_EQ(Value("sim/test/heading"), 250);
    Set("sim/test/heading", "10");
    Send(std::string("E5- ") + '\xFF');  // -245 -> 115
    Send(std::string("E5- ") + '\xFF');  // -140 -> 220
    EXPECT_FLOAT_EQ(Value("sim/test/heading"), 220);
}

TEST_F(ApplyInputs, StepperWithoutOrWithThreeRangeValuesHasNoBound) {
    Stepper("E6+", "sim/test/float", 100.0f, 1, {});
    Stepper("E7+", "sim/test/int", 100.0f, 1, {0, 1, 2});
    Set("sim/test/float", "1000");
    Send("E6+");
    EXPECT_EQ(Value("sim/test/float"), 1100.0);
    Send("E7+");
    Send("E7+");
    EXPECT_EQ(Value("sim/test/int"), 200.0);
}

TEST_F(ApplyInputs, ValueMessageWritesTheValueAndDoesNotStep) {
    Stepper("D8", "sim/test/float", 1.0f, 1, {0, 10});
    Send("D8 12.5xyz");
    EXPECT_EQ(Value("sim/test/float"), 12.5);
}

TEST_F(ApplyInputs, ValueThatIsNotANumberIsIgnored) {
    Entry e;
    e.tag = "D9";
    e.dataref = "sim/test/float";
    AddInput(0, e);
    Set("sim/test/float", "4");
    Send("D9 abc");
    Send("D9 nan");
    Send("D9 1e999");
    EXPECT_EQ(Value("sim/test/float"), 4.0);
    Send("D9 -2");
    EXPECT_EQ(Value("sim/test/float"), -2.0);
}

TEST_F(ApplyInputs, AnalogMapsZeroToThousandOntoTheRange) {
    Entry e;
    e.tag = "A2";
    e.dataref = "sim/test/float";
    e.range = {-10, 10};
    AddInput(0, e);
    Send("A2 0");
    EXPECT_EQ(Value("sim/test/float"), -10.0);
    Send("A2 500");
    EXPECT_EQ(Value("sim/test/float"), 0.0);
    Send("A2 1000");
    EXPECT_EQ(Value("sim/test/float"), 10.0);
    Send("A2 1500");  // beyond 1000: extrapolated
    EXPECT_EQ(Value("sim/test/float"), 20.0);
}

TEST_F(ApplyInputs, QListedAnalogTagsFollowTheSquareLaw) {
    Entry e;
    e.tag = "A3";
    e.dataref = "sim/test/float";
    e.range = {0, 100};
    e.squareLaw = true;  // Q-listed
    AddInput(0, e);
    Send("A3 0");
    EXPECT_EQ(Value("sim/test/float"), 0.0);
    Send("A3 500");
    EXPECT_EQ(Value("sim/test/float"), 25.0);
    Send("A3 1000");
    EXPECT_EQ(Value("sim/test/float"), 100.0);
}

TEST_F(ApplyInputs, AnalogWithoutTwoRangeValuesWritesNothing) {
    Entry one;
    one.tag = "A4";
    one.dataref = "sim/test/float";
    one.range = {100};
    AddInput(0, one);
    Entry none;
    none.tag = "R5";
    none.dataref = "sim/test/int";
    AddInput(0, none);
    Set("sim/test/float", "7");
    Set("sim/test/int", "7");
    Send("A4 500");
    Send("R5 500");
    EXPECT_EQ(Value("sim/test/float"), 7.0);
    EXPECT_EQ(Value("sim/test/int"), 7.0);
}

TEST_F(ApplyInputs, IntAndFloatDatarefIsReadAsIntAndWrittenAsFloat) {
    Stepper("E9+", "sim/test/int_float", 0.5f, 1, {});
    Set("sim/test/int_float", "7.6");
    Send("E9+");  // read 7, write 7.5 through the float call
    EXPECT_EQ(XPLMGetDataf(XPLMFindDataRef("sim/test/int_float")), 7.5f);
}

TEST_F(ApplyInputs, EveryTypeAndArrayElementsByOneBasedIndex) {
    Entry e;
    e.tag = "D1";
    e.defaultValue = 6.5f;
    for (const char* name : {"sim/test/float", "sim/test/int", "sim/test/double"}) {
        e.dataref = name;
        AddInput(0, e);
    }
    e.dataref = "sim/test/float_array";
    e.arrayNum = 2;
    AddInput(0, e);
    e.dataref = "sim/test/int_array";
    e.arrayNum = 6;
    AddInput(0, e);
    e.dataref = "sim/test/int_array";
    e.arrayNum = 7;  // beyond the array: nothing
    AddInput(0, e);
    Send("D1");
    EXPECT_EQ(Value("sim/test/float"), 6.5);
    EXPECT_EQ(Value("sim/test/int"), 6.0);
    EXPECT_EQ(Value("sim/test/double"), 6.5);
    EXPECT_EQ(xphost::GetDataref("sim/test/float_array"), "0,6.5,0,0,0,0,0,0");
    EXPECT_EQ(xphost::GetDataref("sim/test/int_array"), "0,0,0,0,0,6");
}

TEST_F(ApplyInputs, StepOnAnIntDatarefIsTruncated) {
    Stepper("E1+", "sim/test/int", 0.5f, 1, {});
    Set("sim/test/int", "3");
    Send("E1+");
    EXPECT_EQ(Value("sim/test/int"), 3.0);
}

TEST_F(ApplyInputs, InputsThatDoNotExistAreIgnored) {
    tag = {"D1"};
    WriteToXPlane(0, 0, 1, 1);
    WriteToXPlane(5, 0, 1, 1);
    WriteToXPlane(-1, -1, 1, 1);
    Entry e;
    e.tag = "D1";
    e.dataref = "sim/test/float";
    AddInput(0, e);
    WriteToXPlane(0, 0, -1, 1);
    EXPECT_EQ(Value("sim/test/float"), 0.0);
    tag.clear();  // no tokens at all: a plain press
    WriteToXPlane(0, 0, 1, 1);
    EXPECT_EQ(Value("sim/test/float"), 1.0);
}

}  // namespace
}  // namespace corvane_inputs_test
