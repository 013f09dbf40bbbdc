// One emulated ATmega on simavr, at 16 MHz, running an Arduino firmware ELF: the reset line, its
// pins in Arduino numbering (inputs pulled low by a switch, outputs read back with their PWM
// duty), its analog inputs and its serial port's receive and transmit sides.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "chip_layouts.h"

struct avr_t;
struct avr_irq_t;

namespace avrboard {

constexpr uint64_t kCyclesPerMicrosecond = 16;

class Chip {
  public:
    Chip() = default;
    ~Chip();
    Chip(const Chip&) = delete;
    Chip& operator=(const Chip&) = delete;

    // Loads the firmware; boardId 0-9 stores the ID in EEPROM (byte 0 0xC7, byte 1 the ID),
    // -1 leaves the EEPROM as the ELF has it. False with *error set when it cannot run.
    bool Load(const std::string& elfPath, const ChipLayout& layout, int boardId,
              std::string* error);
    // Writes bytes into the EEPROM from address on.
    void WriteEeprom(uint16_t address, const std::vector<uint8_t>& bytes);

    // The reset line pulsed: every register as at power-on, the receive queue emptied. Pins
    // held low by a switch stay low.
    void Reset();
    // Runs whole instructions until the clock reaches `cycle` (at once when it has stopped).
    void RunUntil(uint64_t cycle);
    uint64_t cycle() const;
    bool stopped() const;  // the firmware crashed or slept with interrupts off

    int pinCount() const { return static_cast<int>(layout_->pins.size()); }
    // Pin n held low (pressed) or let go (high through the pull-up).
    void HoldLow(int pin, bool low);
    // A key of a button matrix between two pins pressed or let go: while it is down, the second
    // pin reads low whenever the first drives low.
    void SetKey(int row, int column, bool down);
    // The pin's level: what the chip drives on an output, what it reads on an input.
    bool Level(int pin) const;
    bool IsOutput(int pin) const;
    // PWM duty 0-255: from the timer when it drives the pin in a PWM mode, else 255 or 0 for a
    // plain output at HIGH or LOW (0 for an input).
    int Duty(int pin) const;
    int analogChannels() const { return layout_->analogChannels; }
    // Analog channel at value/1023 of the 5 V reference.
    void SetAnalog(int channel, int value);

    // The firmware has switched the serial receiver on; its queue has room for one more byte.
    bool ReceiverOn() const;
    bool ReceiverHasRoom() const { return uartRoom_; }
    // Hands one byte to the serial receiver (only while it is on and has room).
    void Receive(uint8_t byte);
    int queuedBytes() const { return queued_; }  // handed over, not yet read by the firmware

    const uint8_t* data() const;  // the data space (registers and RAM)
    uint32_t dataSize() const;

    // Called from inside RunUntil: a pin changed level (time in cycles), the firmware sent a
    // byte, the firmware took a received byte out of the serial port.
    std::function<void(int pin, bool high, uint64_t cycle)> onPinChange;
    std::function<void(uint8_t byte)> onTransmit;
    std::function<void()> onByteTaken;
    // Called when a byte the firmware sent on the SPI bus as its master has been shifted out (8
    // clocks of its SPI clock after the write, as on the chip); returns the byte shifted in.
    // Unset, the bus reads 0xFF.
    std::function<uint8_t(uint8_t mosi)> onSpiByte;

  private:
    struct PinHook {
        Chip* chip;
        int pin;
    };
    static void PinNotify(avr_irq_t* irq, uint32_t value, void* param);
    static void PortWriteNotify(avr_irq_t* irq, uint32_t value, void* param);
    // Brings the columns of pressed keys in line with their rows.
    void UpdateKeys();
    static void TransmitNotify(avr_irq_t* irq, uint32_t value, void* param);
    static void RoomNotify(avr_irq_t* irq, uint32_t value, void* param);
    static void FullNotify(avr_irq_t* irq, uint32_t value, void* param);
    static uint8_t ReadDataRegister(avr_t* avr, uint16_t addr, void* param);
    static uint8_t ReadAdcLow(avr_t* avr, uint16_t addr, void* param);
    static void WriteSpiData(avr_t* avr, uint16_t addr, uint8_t value, void* param);
    static uint64_t SpiByteDone(avr_t* avr, uint64_t when, void* param);
    void ApplySwitches(char port);
    int PwmTop(const TimerRegisters& timer) const;  // 0 when the timer is in no PWM mode
    avr_irq_t* PinIrq(int pin) const;

    avr_t* avr_ = nullptr;
    const ChipLayout* layout_ = nullptr;
    std::vector<PinHook> hooks_;
    std::vector<bool> heldLow_;
    std::vector<bool> keyLow_;               // pulled low through a pressed key
    std::vector<std::pair<int, int>> keys_;  // pressed keys: row pin, column pin
    bool keysDue_ = false;                   // a port was written since the last UpdateKeys
    std::vector<int> analog_;                // millivolts per channel, -1 when never set
    avr_irq_t* uartIn_ = nullptr;
    bool uartRoom_ = true;
    int queued_ = 0;
    uint8_t (*udrRead_)(avr_t*, uint16_t, void*) = nullptr;
    void* udrParam_ = nullptr;
    uint8_t (*adcRead_)(avr_t*, uint16_t, void*) = nullptr;
    void* adcParam_ = nullptr;
    void* spi_ = nullptr;  // simavr's SPI port
    uint8_t spiOut_ = 0;
};

}  // namespace avrboard
