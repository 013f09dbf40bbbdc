#include "chip.h"

#include <avr_adc.h>
#include <avr_eeprom.h>
#include <avr_ioport.h>
#include <avr_spi.h>
#include <avr_uart.h>
#include <sim_avr.h>
#include <sim_elf.h>
#include <sim_interrupts.h>
#include <sim_io.h>
#include <sim_regbit.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace avrboard {
namespace {

constexpr uint16_t kAdcl = 0x78, kAdcsrb = 0x7B, kAdmux = 0x7C;
constexpr uint8_t kMux5 = 0x08;  // in ADCSRB

// The run loop paces the chip itself: a sleeping chip must not put the process to sleep.
void NoSleep(avr_t*, avr_cycle_count_t) {}

void FreeFirmware(elf_firmware_t* firmware) {
    free(firmware->flash);
    free(firmware->eeprom);
    free(firmware->fuse);
    free(firmware->lockbits);
    for (uint32_t i = 0; i < firmware->symbolcount; ++i) free(firmware->symbol[i]);
    free(firmware->symbol);
}

avr_ioport_state_t PortState(avr_t* avr, char port) {
    avr_ioport_state_t state{};
    avr_ioctl(avr, AVR_IOCTL_IOPORT_GETSTATE(port), &state);
    return state;
}

}  // namespace

Chip::~Chip() {
    if (avr_ != nullptr) avr_terminate(avr_);
}

bool Chip::Load(const std::string& elfPath, const ChipLayout& layout, int boardId,
                std::string* error) {
    auto firmware = std::make_unique<elf_firmware_t>();
    std::memset(firmware.get(), 0, sizeof(elf_firmware_t));
    if (elf_read_firmware(elfPath.c_str(), firmware.get()) != 0 || firmware->flashsize == 0) {
        *error = "cannot read the firmware " + elfPath;
        return false;
    }
    // Arduino ELF files name no chip and no clock.
    std::strncpy(firmware->mmcu, layout.mcu.c_str(), sizeof firmware->mmcu - 1);
    firmware->frequency = 16000000;
    firmware->vcc = firmware->avcc = firmware->aref = 5000;
    avr_ = avr_make_mcu_by_name(firmware->mmcu);
    if (avr_ == nullptr || avr_init(avr_) != 0) {
        FreeFirmware(firmware.get());
        *error = "simavr has no " + layout.mcu;
        return false;
    }
    layout_ = &layout;
    avr_load_firmware(avr_, firmware.get());
    FreeFirmware(firmware.get());
    avr_->sleep = NoSleep;
    uint32_t uartFlags = 0;  // no console echo, no sleeping while the firmware polls
    avr_ioctl(avr_, AVR_IOCTL_UART_SET_FLAGS('0'), &uartFlags);
    if (boardId >= 0) {
        uint8_t id[2] = {0xC7, static_cast<uint8_t>(boardId)};
        avr_eeprom_desc_t desc{id, 0, 2};
        avr_ioctl(avr_, AVR_IOCTL_EEPROM_SET, &desc);
    }

    hooks_.resize(layout.pins.size());
    heldLow_.assign(layout.pins.size(), false);
    keyLow_.assign(layout.pins.size(), false);
    std::string ports;
    for (const PortBit& place : layout.pins)
        if (ports.find(place.port) == std::string::npos) ports += place.port;
    for (const char port : ports) {
        avr_irq_t* irq = avr_io_getirq(avr_, AVR_IOCTL_IOPORT_GETIRQ(port), 0);
        avr_irq_register_notify(irq + (IOPORT_IRQ_DIRECTION_ALL - IOPORT_IRQ_PIN0), PortWriteNotify,
                                this);
        avr_irq_register_notify(irq + (IOPORT_IRQ_REG_PORT - IOPORT_IRQ_PIN0), PortWriteNotify,
                                this);
    }
    analog_.assign(static_cast<size_t>(layout.analogChannels), -1);
    for (size_t pin = 0; pin < layout.pins.size(); ++pin) {
        hooks_[pin] = {this, static_cast<int>(pin)};
        avr_irq_register_notify(PinIrq(static_cast<int>(pin)), PinNotify, &hooks_[pin]);
    }
    avr_irq_t* uart = avr_io_getirq(avr_, AVR_IOCTL_UART_GETIRQ('0'), 0);
    uartIn_ = uart + UART_IRQ_INPUT;
    avr_irq_register_notify(uart + UART_IRQ_OUTPUT, TransmitNotify, this);
    avr_irq_register_notify(uart + UART_IRQ_OUT_XON, RoomNotify, this);
    avr_irq_register_notify(uart + UART_IRQ_OUT_XOFF, FullNotify, this);
    // Reads of the data register pass through here, so that a byte taken by the firmware is seen
    // at the moment its receive interrupt takes it.
    auto& udr = avr_->io[AVR_DATA_TO_IO(kUdr0)].r;
    udrRead_ = udr.c;
    udrParam_ = udr.param;
    udr.c = ReadDataRegister;
    udr.param = this;
    // The SPI port shifts each byte in the 8 clocks of its own clock rate (simavr 1.6 takes 100 us
    // a byte whatever the rate, a hundred times a W5x00's).
    auto& spdr = avr_->io[AVR_DATA_TO_IO(kSpdr)].w;
    spi_ = spdr.param;
    spdr.c = WriteSpiData;
    spdr.param = this;
    if (layout.analogChannels > 8) {
        // simavr 1.6 keeps the inputs of ADC0-7 only: ADC8-15 are converted here.
        auto& adcl = avr_->io[AVR_DATA_TO_IO(kAdcl)].r;
        adcRead_ = adcl.c;
        adcParam_ = adcl.param;
        adcl.c = ReadAdcLow;
        adcl.param = this;
    }
    return true;
}

void Chip::WriteEeprom(uint16_t address, const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> copy = bytes;
    avr_eeprom_desc_t desc{copy.data(), address, static_cast<uint32_t>(copy.size())};
    avr_ioctl(avr_, AVR_IOCTL_EEPROM_SET, &desc);
}

void Chip::Reset() {
    avr_reset(avr_);
    queued_ = 0;
    uartRoom_ = true;
    // Every pin is an input again; its next level is news even when it equals the last one.
    for (int pin = 0; pin < pinCount(); ++pin) PinIrq(pin)->flags |= IRQ_FLAG_INIT;
    for (int pin = 0; pin < pinCount(); ++pin)
        if (heldLow_[static_cast<size_t>(pin)]) HoldLow(pin, true);
    for (size_t channel = 0; channel < analog_.size(); ++channel)
        if (analog_[channel] >= 0)
            avr_raise_irq(avr_io_getirq(avr_, AVR_IOCTL_ADC_GETIRQ, static_cast<int>(channel)),
                          static_cast<uint32_t>(analog_[channel]));
}

void Chip::RunUntil(uint64_t cycle) {
    while (avr_->cycle < cycle) {
        const int state = avr_run(avr_);
        if (keysDue_) UpdateKeys();  // the write is done: the registers hold it
        if (state == cpu_Done || state == cpu_Crashed) {
            avr_->cycle = cycle;  // a stopped chip's clock still runs
            return;
        }
    }
}

uint64_t Chip::cycle() const {
    return avr_->cycle;
}

bool Chip::stopped() const {
    return avr_->state == cpu_Done || avr_->state == cpu_Crashed;
}

avr_irq_t* Chip::PinIrq(int pin) const {
    const PortBit& place = layout_->pins[static_cast<size_t>(pin)];
    return avr_io_getirq(avr_, AVR_IOCTL_IOPORT_GETIRQ(place.port), place.bit);
}

void Chip::ApplySwitches(char port) {
    uint8_t mask = 0;
    for (size_t pin = 0; pin < layout_->pins.size(); ++pin)
        if ((heldLow_[pin] || keyLow_[pin]) && layout_->pins[pin].port == port)
            mask = static_cast<uint8_t>(mask | (1u << layout_->pins[pin].bit));
    // Held pins read low whatever the firmware writes to the port; the others read its pull-ups.
    avr_ioport_external_t external{};
    external.name = static_cast<unsigned char>(port);
    external.mask = mask;
    external.value = 0;
    avr_ioctl(avr_, AVR_IOCTL_IOPORT_SET_EXTERNAL(port), &external);
}

void Chip::HoldLow(int pin, bool low) {
    heldLow_[static_cast<size_t>(pin)] = low;
    ApplySwitches(layout_->pins[static_cast<size_t>(pin)].port);
    if (!IsOutput(pin)) avr_raise_irq(PinIrq(pin), low ? 0 : 1);
}

void Chip::SetKey(int row, int column, bool down) {
    const std::pair<int, int> key{row, column};
    const auto found = std::find(keys_.begin(), keys_.end(), key);
    if (down && found == keys_.end()) keys_.push_back(key);
    if (!down && found != keys_.end()) keys_.erase(found);
    UpdateKeys();
}

void Chip::UpdateKeys() {
    keysDue_ = false;
    std::vector<bool> low(keyLow_.size(), false);
    for (const auto& [row, column] : keys_)
        if (IsOutput(row) && !Level(row)) low[static_cast<size_t>(column)] = true;
    for (size_t pin = 0; pin < low.size(); ++pin) {
        if (low[pin] == keyLow_[pin]) continue;
        keyLow_[pin] = low[pin];
        ApplySwitches(layout_->pins[pin].port);
        const int p = static_cast<int>(pin);
        if (!IsOutput(p)) avr_raise_irq(PinIrq(p), low[pin] || heldLow_[pin] ? 0 : 1);
    }
}

void Chip::PortWriteNotify(avr_irq_t*, uint32_t, void* param) {
    auto* chip = static_cast<Chip*>(param);
    if (!chip->keys_.empty()) chip->keysDue_ = true;
}

bool Chip::IsOutput(int pin) const {
    const PortBit& place = layout_->pins[static_cast<size_t>(pin)];
    return (PortState(avr_, place.port).ddr >> place.bit) & 1;
}

bool Chip::Level(int pin) const {
    const PortBit& place = layout_->pins[static_cast<size_t>(pin)];
    const avr_ioport_state_t state = PortState(avr_, place.port);
    if (!((state.ddr >> place.bit) & 1)) return (state.pin >> place.bit) & 1;
    for (const PwmChannel& channel : layout_->pwm)
        if (channel.pin == pin &&
            ((avr_->data[layout_->timers[static_cast<size_t>(channel.timer)].tccra] >>
              channel.comShift) &
             3) != 0)
            return (PinIrq(pin)->value & 0xFF) != 0;  // the timer drives the pin
    return (state.port >> place.bit) & 1;
}

int Chip::Duty(int pin) const {
    if (!IsOutput(pin)) return 0;
    const uint8_t* data = avr_->data;
    for (const PwmChannel& channel : layout_->pwm) {
        if (channel.pin != pin) continue;
        const TimerRegisters& timer = layout_->timers[static_cast<size_t>(channel.timer)];
        const int com = (data[timer.tccra] >> channel.comShift) & 3;
        const int top = PwmTop(timer);
        if (com < 2 || top == 0) break;  // the pin is not the timer's
        const bool wide = timer.icr != 0;
        const int compare =
            wide ? data[channel.ocr] | (data[channel.ocr + 1] << 8) : data[channel.ocr];
        const int duty = compare >= top ? 255 : (compare * 255 + top / 2) / top;
        return com == 3 ? 255 - duty : duty;  // 3: inverted output
    }
    return Level(pin) ? 255 : 0;
}

int Chip::PwmTop(const TimerRegisters& timer) const {
    const uint8_t* data = avr_->data;
    auto word = [data](uint16_t address) { return data[address] | (data[address + 1] << 8); };
    const bool wide = timer.icr != 0;
    const int mode = (data[timer.tccra] & 3) | (((data[timer.tccrb] >> 3) & (wide ? 3 : 1)) << 2);
    if (!wide) {
        if (mode == 1 || mode == 3) return 0xFF;
        if (mode == 5 || mode == 7) return data[timer.ocra];
        return 0;
    }
    switch (mode) {
        case 1:
        case 5:
            return 0xFF;
        case 2:
        case 6:
            return 0x1FF;
        case 3:
        case 7:
            return 0x3FF;
        case 8:
        case 10:
        case 14:
            return word(timer.icr);
        case 9:
        case 11:
        case 15:
            return word(timer.ocra);
        default:
            return 0;  // not a PWM mode
    }
}

void Chip::SetAnalog(int channel, int value) {
    // The smallest whole millivolt count that simavr's 10-bit conversion reads as `value`.
    const int millivolts = (value * 5000 + 1022) / 1023;
    analog_[static_cast<size_t>(channel)] = millivolts;
    avr_raise_irq(avr_io_getirq(avr_, AVR_IOCTL_ADC_GETIRQ, ADC_IRQ_ADC0 + channel),
                  static_cast<uint32_t>(millivolts));
}

bool Chip::ReceiverOn() const {
    return (avr_->data[kUcsr0b] & kRxen0) != 0;
}

void Chip::Receive(uint8_t byte) {
    ++queued_;
    avr_raise_irq(uartIn_, byte);
}

const uint8_t* Chip::data() const {
    return avr_->data;
}

uint32_t Chip::dataSize() const {
    return static_cast<uint32_t>(avr_->ramend) + 1;
}

void Chip::PinNotify(avr_irq_t*, uint32_t value, void* param) {
    auto* hook = static_cast<PinHook*>(param);
    if (hook->chip->onPinChange)
        hook->chip->onPinChange(hook->pin, (value & 0xFF) != 0, hook->chip->avr_->cycle);
}

void Chip::TransmitNotify(avr_irq_t*, uint32_t value, void* param) {
    auto* chip = static_cast<Chip*>(param);
    if (chip->onTransmit) chip->onTransmit(static_cast<uint8_t>(value & 0xFF));
}

void Chip::RoomNotify(avr_irq_t*, uint32_t value, void* param) {
    if (value != 0) static_cast<Chip*>(param)->uartRoom_ = true;
}

void Chip::FullNotify(avr_irq_t*, uint32_t value, void* param) {
    if (value != 0) static_cast<Chip*>(param)->uartRoom_ = false;
}

uint8_t Chip::ReadDataRegister(avr_t* avr, uint16_t addr, void* param) {
    auto* chip = static_cast<Chip*>(param);
    const bool taking = (avr->data[kUcsr0b] & kRxen0) != 0 && (avr->data[kUcsr0a] & kRxc0) != 0 &&
                        chip->queued_ > 0;
    const uint8_t value = chip->udrRead_(avr, addr, chip->udrParam_);
    if (taking) {
        --chip->queued_;
        if (chip->onByteTaken) chip->onByteTaken();
    }
    return value;
}

uint8_t Chip::ReadAdcLow(avr_t* avr, uint16_t addr, void* param) {
    auto* chip = static_cast<Chip*>(param);
    auto* adc = static_cast<avr_adc_t*>(chip->adcParam_);
    const int mux = (avr->data[kAdmux] & 0x1F) | ((avr->data[kAdcsrb] & kMux5) ? 0x20 : 0);
    if (mux < 32 || mux > 39) return chip->adcRead_(avr, addr, adc);
    // Channel 8 + n reads as ADC0 would, with ADC0 at channel 8 + n's voltage for a moment.
    const avr_adc_mux_t mode = adc->muxmode[mux];
    const uint16_t adc0 = adc->adc_values[0];
    avr_adc_mux_t adc0Mode{};
    adc0Mode.kind = ADC_MUX_SINGLE;
    adc->muxmode[mux] = adc0Mode;
    adc->adc_values[0] =
        static_cast<uint16_t>(std::max(0, chip->analog_[static_cast<size_t>(mux - 24)]));
    const uint8_t value = chip->adcRead_(avr, addr, adc);
    adc->muxmode[mux] = mode;
    adc->adc_values[0] = adc0;
    return value;
}

void Chip::WriteSpiData(avr_t* avr, uint16_t addr, uint8_t value, void* param) {
    auto* chip = static_cast<Chip*>(param);
    auto* spi = static_cast<avr_spi_t*>(chip->spi_);
    avr_regbit_clear(avr, spi->spi.raised);
    avr_core_watch_write(avr, addr, value);
    if (!avr_regbit_get(avr, spi->spe) || !avr_regbit_get(avr, spi->mstr)) return;
    // The clock: the chip's divided by 4, 16, 64 or 128 (SPR1:0), twice as fast with SPI2X.
    static const int kDividers[4] = {4, 16, 64, 128};
    const int divider = kDividers[avr->data[kSpcr] & 3] / ((avr->data[kSpsr] & 1) ? 2 : 1);
    chip->spiOut_ = value;
    avr_cycle_timer_cancel(avr, SpiByteDone, chip);
    avr_cycle_timer_register(avr, static_cast<avr_cycle_count_t>(8 * divider), SpiByteDone, chip);
}

uint64_t Chip::SpiByteDone(avr_t* avr, uint64_t, void* param) {
    auto* chip = static_cast<Chip*>(param);
    auto* spi = static_cast<avr_spi_t*>(chip->spi_);
    spi->input_data_register = chip->onSpiByte ? chip->onSpiByte(chip->spiOut_) : 0xFF;
    avr_raise_interrupt(avr, &spi->spi);
    return 0;
}

}  // namespace avrboard
