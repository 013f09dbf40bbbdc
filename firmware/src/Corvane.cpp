// The library's face to the sketch, and the main loop's order of work: the serial line is read
// between every two pieces of work, and each piece is short (one display register, one LED port
// byte, one analog reading, one matrix row), so the 64-byte receive buffer, which fills in about
// 5.5 ms at 115200 baud, is read far more often than that.
#include "Corvane.h"

#include "corvane_analog.h"
#include "corvane_buttons.h"
#include "corvane_displays.h"
#include "corvane_encoders.h"
#include "corvane_ledport.h"
#include "corvane_link.h"
#include "corvane_matrix.h"
#include "corvane_network.h"
#include "corvane_outputs.h"
#include "corvane_reports.h"
#include "corvane_session.h"
#include "corvane_steppers.h"

// The identification carries the version in one byte, which the plug-in reads as major.minor
// with two digits of minor.
static_assert(CORVANE_VERSION_MINOR < 100 && CORVANE_LIBRARY_VERSION < 256,
              "the version does not fit the identification's byte");

CorvaneBoardLibrary CorvaneBoard;

void CorvaneBoardLibrary::begin(uint8_t id) {
    corvane::boardId = id <= 9 ? id : 0;
    corvane::startLink();
    corvane::announce();
}

void CorvaneBoardLibrary::update() {
    using namespace corvane;
    receiveWaiting();
    scanButtons();
    pollEncoders();
    runSteppers();
    receiveWaiting();
    // One slow piece of work per pass, the first that has something to do.
    if (!writeNextDisplayRegister() && !shiftLedPort()) {
        readNextAnalog();
        scanNextMatrixRow();
    }
    receiveWaiting();
    pollEncoders();
    advanceSession();
    sendReports();
}

void CorvaneBoardLibrary::analogChannels(uint8_t count) {
    corvane::analogChannelLimit = count;
    corvane::useAnalogChannels();
}

void CorvaneBoardLibrary::stepperMotion(uint16_t stepsPerSecond, uint16_t acceleration) {
    corvane::setStepperMotion(stepsPerSecond, acceleration);
}

void CorvaneBoardLibrary::displayIntensity(uint8_t level) {
    corvane::displayBrightness = level > 15 ? 15 : level;
    corvane::refreshBrightness();
}

void CorvaneBoardLibrary::onValue(CorvaneValueHandler handler) {
    corvane::valueHandler = handler;
}

void CorvaneBoardLibrary::onText(CorvaneTextHandler handler) {
    corvane::textHandler = handler;
}

uint8_t CorvaneBoardLibrary::boardNumber() const {
    return corvane::boardNumber;
}

bool CorvaneBoardLibrary::outputsOn() const {
    return corvane::outputsEnabled && !corvane::outputsDark;
}
