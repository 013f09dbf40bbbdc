#include "check/live_state_aside.h"

#include <utility>

#include "config/plugin_log.h"
#include "config/scratch_state.h"
#include "config/settings.h"
#include "simdata/custom_refs.h"
#include "transport/lan_socket.h"
#include "transport/serial_ports.h"

namespace corvane_check {

LiveStateAside::LiveStateAside() {
    ++LogSilenced;
    Exchange();
    // The fresh state's status lines, made with the captions set aside: no caption changes.
    InitStatusLines();
    customIndices_ = CustomIndices;  // the own datarefs stay; a read adds to the used ones
}

LiveStateAside::~LiveStateAside() {
    Exchange();
    CustomIndices.swap(customIndices_);
    --LogSilenced;
}

void LiveStateAside::Exchange() {
    using std::swap;
    ExchangeBoardTables(tables_);
    ExchangeConfigReaderState(reader_);
    ExchangeMissingNames(missing_);
    InstructionsText.swap(statusLines_);
    swap(InstructionsTextWidget, captions_);
    swap(message_line_number, messageLine_);
    swap(ScanTimeout, scanTimeout_);
    swap(MessageIsSerial, messageIsSerial_);
    swap(SerialCurrent, serialCurrent_);
    swap(serv_addr, sender_);
    ComPortName.swap(portNames_);
    line.swap(line_);
    st.swap(message_);
    splitpair.swap(pair_);
    tag.swap(fields_);
    ss.swap(numbers_);
}

}  // namespace corvane_check
