#include "serial_ring.h"

#include <fcntl.h>
#include <gelf.h>
#include <libelf.h>
#include <unistd.h>

#include <cstring>

#include "chip_layouts.h"

namespace avrboard {

bool SerialRing::Find(const std::string& elfPath) {
    if (elf_version(EV_CURRENT) == EV_NONE) return false;
    const int fd = open(elfPath.c_str(), O_RDONLY);
    if (fd < 0) return false;
    Elf* elf = elf_begin(fd, ELF_C_READ, nullptr);
    for (Elf_Scn* section = nullptr; elf != nullptr && (section = elf_nextscn(elf, section));) {
        GElf_Shdr header;
        if (gelf_getshdr(section, &header) == nullptr || header.sh_type != SHT_SYMTAB ||
            header.sh_entsize == 0)
            continue;
        Elf_Data* symbols = elf_getdata(section, nullptr);
        for (size_t i = 0; symbols != nullptr && i < header.sh_size / header.sh_entsize; ++i) {
            GElf_Sym symbol;
            if (gelf_getsym(symbols, static_cast<int>(i), &symbol) == nullptr) continue;
            const char* name = elf_strptr(elf, header.sh_link, symbol.st_name);
            if (name == nullptr || std::strcmp(name, "Serial") != 0) continue;
            address_ = static_cast<uint32_t>(symbol.st_value & 0xFFFF);  // data space is 0x800000+
            size_ = static_cast<uint32_t>(symbol.st_size);
        }
    }
    if (elf != nullptr) elf_end(elf);
    close(fd);
    return size_ > 0;
}

bool SerialRing::Full(const uint8_t* data, uint32_t size) {
    if (address_ + size_ > size) return false;
    if (headOffset_ < 0) {
        const uint8_t pointers[12] = {kUbrr0h, 0, kUbrr0l, 0, kUcsr0a, 0,
                                      kUcsr0b, 0, kUcsr0c, 0, kUdr0,   0};
        for (uint32_t at = 0; at + sizeof pointers + 5 <= size_; ++at) {
            if (std::memcmp(data + address_ + at, pointers, sizeof pointers) != 0) continue;
            const int head = static_cast<int>(at + sizeof pointers + 1);
            const int capacity = (static_cast<int>(size_) - head - 4) / 2;
            if (capacity < 2 || (capacity & (capacity - 1)) != 0) return false;
            headOffset_ = head;
            capacity_ = capacity;
            break;
        }
        if (headOffset_ < 0) return false;
    }
    const int head = data[address_ + static_cast<uint32_t>(headOffset_)];
    const int tail = data[address_ + static_cast<uint32_t>(headOffset_) + 1];
    return (head + 1) % capacity_ == tail;
}

}  // namespace avrboard
