// The Arduino core's receive ring of `Serial` in the chip's RAM: the firmware's 64-byte buffer
// that its receive interrupt fills and that drops a byte when it is full.
//
// The object is found by the ELF's symbol table. Its layout is that of the installed core's
// HardwareSerial: after the Print and Stream members come six pointers to the USART0 registers
// (UBRR0H, UBRR0L, UCSR0A, UCSR0B, UCSR0C, UDR0), a bool, then the one-byte head and tail of the
// receive ring, the tail and head of the transmit ring, and the two buffers of equal size. The
// six pointers are looked for in RAM once the core's constructor has stored them, which both
// finds the indices and proves the layout.
#pragma once

#include <cstdint>
#include <string>

namespace avrboard {

class SerialRing {
  public:
    // Reads the address and size of the symbol "Serial"; false when the firmware has none.
    bool Find(const std::string& elfPath);
    // True when the ring in `data` (the data space, `size` bytes) has no room for one more byte:
    // its head is just behind its tail. False while the ring is unknown.
    bool Full(const uint8_t* data, uint32_t size);
    bool known() const { return headOffset_ >= 0; }

  private:
    uint32_t address_ = 0, size_ = 0;
    int headOffset_ = -1;
    int capacity_ = 0;
};

}  // namespace avrboard
