// A JTAG master for the card's tests that frames MPSSE commands as the tool's FTDI code does.
#ifndef CARD_JTAG_RIG_H
#define CARD_JTAG_RIG_H

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>

inline uint8_t Rev(uint8_t b)
{
    b = (uint8_t)((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = (uint8_t)((b & 0xCC) >> 2 | (b & 0x33) << 2);
    return (uint8_t)((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

inline std::string Bytes(std::initializer_list<int> list)
{
    std::string s;
    for (int b : list)
        s += (char)b;
    return s;
}

struct JtagRig {
    std::function<void(const std::string&)> send;
    std::function<std::string(size_t)> receive;

    void Start() { send(Bytes({ 0x80, 0x08, 0x0b, 0x86, 0x13, 0x00 })); }  // TCK, TDI, TMS driven; TMS high
    // TMS bits in order, TDI low, up to six per command as the tool sends them.
    void Tms(const std::string& bits)
    {
        for (size_t at = 0; at < bits.size(); at += 6) {
            std::string chunk = bits.substr(at, 6);
            int data = 0;
            for (size_t i = 0; i < chunk.size(); i++)
                data |= (chunk[i] == '1') << i;
            send(Bytes({ 0x4B, (int)chunk.size() - 1, data }));
        }
    }
    void Reset() { Tms("111110"); }  // Test-Logic-Reset, then Run-Test/Idle
    void Idle(unsigned clocks)       // TCK-only clocking, as the tool's short delays
    {
        if (clocks >= 8)
            send(Bytes({ 0x8F, (int)(clocks / 8 - 1) & 0xFF, (int)(clocks / 8 - 1) >> 8 }));
        if (clocks % 8)
            send(Bytes({ 0x8E, (int)clocks % 8 - 1 }));
    }
    // n bits from tdi (least significant first) through Shift-xR, the last with TMS high; TDO in the same order.
    std::string Shift(const std::string& tdi, size_t n)
    {
        size_t bytes = (n - 1) / 8, rem = (n - 1) % 8;
        for (size_t at = 0; at < bytes;) {
            size_t k = std::min<size_t>(65536, bytes - at);
            send(Bytes({ 0x3D, (int)(k - 1) & 0xFF, (int)(k - 1) >> 8 }) + tdi.substr(at, k));
            at += k;
        }
        if (rem)
            send(Bytes({ 0x3F, (int)rem - 1, (uint8_t)tdi[bytes] }));
        bool last = ((uint8_t)tdi[(n - 1) / 8] >> ((n - 1) % 8)) & 1;
        send(Bytes({ 0x6F, 0x00, last ? 0x81 : 0x01 }));
        std::string got = receive(bytes + (rem ? 1 : 0) + 1), out = got.substr(0, bytes);
        if (got.size() < bytes + (rem ? 1 : 0) + 1)  // a cable that is gone answers nothing
            return std::string((n + 7) / 8, '\0');
        int tail = rem ? (uint8_t)got[bytes] >> (8 - rem) : 0;
        out += (char)(tail | ((uint8_t)got.back() >> 7) << rem);
        return out;
    }
    uint8_t ShiftIr(uint8_t code)  // from and back to Run-Test/Idle; the instruction capture
    {
        Tms("1100");
        uint8_t capture = (uint8_t)Shift(std::string(1, (char)code), 6)[0];
        Tms("10");
        return capture;
    }
    std::string ShiftDr(const std::string& tdi, size_t bits)
    {
        Tms("100");
        std::string out = Shift(tdi, bits);
        Tms("10");
        return out;
    }
    // Configuration data as the tool sends a .bit file's data: each byte reversed, shifted least significant first.
    void Configure(const std::string& configuration)
    {
        std::string tdi(configuration);
        for (char& c : tdi)
            c = (char)Rev((uint8_t)c);
        ShiftDr(tdi, tdi.size() * 8);
    }
    // One bridge transfer as the tool's SPI code makes it: USER1, the magic, the length in bits (most significant
    // first) and the bytes for the flash, each most significant bit first; returns TDO as read (the previous answer).
    std::string Transfer(const std::string& mosi, int lengthBits = -1)
    {
        size_t bits = lengthBits < 0 ? mosi.size() * 8 : (size_t)lengthBits;
        std::string tdi = Bytes({ 0x59, 0xA6, 0x59, 0xA6, (int)(bits >> 8), (int)bits & 0xFF }) + mosi;
        for (char& c : tdi)
            c = (char)Rev((uint8_t)c);
        ShiftIr(0x02);
        return ShiftDr(tdi, tdi.size() * 8);
    }
    // The answer bytes of the previous transfer: a USER1 shift of zeros, reversed back, past the skipped bytes.
    std::string Answer(size_t skip, size_t length)
    {
        ShiftIr(0x02);
        std::string out = ShiftDr(std::string(skip + length, '\0'), (skip + length) * 8).substr(skip);
        for (char& c : out)
            c = (char)Rev((uint8_t)c);
        return out;
    }
};

#endif
