// The simulated card's files: configuration data, .bit files, the state file and the CRC-32 that names designs.
#include "card_files.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace card_files {

const char kExternalHelperMark[17] = "VLRext-SPIbridge";

uint32_t Crc32(const unsigned char* bytes, size_t length, uint32_t crc)
{
    static uint32_t table[256];
    if (table[1] == 0)
        for (uint32_t n = 0; n < 256; n++) {
            uint32_t c = n;
            for (int k = 0; k < 8; k++)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
    crc = ~crc;
    for (size_t i = 0; i < length; i++)
        crc = table[(crc ^ bytes[i]) & 0xff] ^ (crc >> 8);
    return ~crc;
}

uint32_t Crc32(const std::string& bytes, uint32_t crc)
{ return Crc32((const unsigned char*)bytes.data(), bytes.size(), crc); }

const char* DesignName(Design design)
{
    switch (design) {
    case Design::IsfBridge: return "isf-bridge";
    case Design::SpiBridge: return "spi-bridge";
    case Design::User: return "user";
    default: return "none";
    }
}

const char* ConfiguredByName(ConfiguredBy by)
{ return by == ConfiguredBy::Jtag ? "jtag" : by == ConfiguredBy::Isf ? "isf" : by == ConfiguredBy::Spi ? "spi" : "none"; }

Design ClassifyFrames(uint32_t length, uint32_t crc, const std::string& firstBytes)
{
    if (length == 0)
        return Design::None;
    if (length == kIsfBridgeFrameLength && crc == kIsfBridgeFrameCrc)
        return Design::IsfBridge;
    if (firstBytes.compare(0, 16, kExternalHelperMark, 16) == 0)
        return Design::SpiBridge;
    return Design::User;
}

static void Word(std::string& out, unsigned word)
{
    out += (char)(word >> 8);
    out += (char)word;
}

std::string ConfigurationData(const std::string& frames, bool withStart, uint32_t idcode)
{
    std::string out;
    std::string padded = frames.size() % 2 ? frames + '\0' : frames;
    uint32_t words = (uint32_t)(padded.size() / 2);
    for (int i = 0; i < 16; i++)
        Word(out, 0xFFFF);
    Word(out, 0xAA99);                                    // sync
    Word(out, 0x30A1), Word(out, 0x0007);                 // CMD RCRC
    Word(out, 0x2000);
    Word(out, 0x31C2), Word(out, idcode >> 16), Word(out, idcode & 0xFFFF);  // IDCODE, two words
    Word(out, 0x30A1), Word(out, 0x0001);                 // CMD WCFG
    Word(out, 0x5060), Word(out, words >> 16), Word(out, words & 0xFFFF);    // type 2: FDRI, 32-bit word count
    out += padded;
    Word(out, 0x30A1), Word(out, 0x000A);                 // CMD GRESTORE
    Word(out, 0x30A1), Word(out, 0x0003);                 // CMD LFRM
    for (int i = 0; i < 4; i++)
        Word(out, 0x2000);
    if (withStart)
        Word(out, 0x30A1), Word(out, 0x0005);             // CMD START
    Word(out, 0x30A1), Word(out, 0x000D);                 // CMD DESYNC
    for (int i = 0; i < 16; i++)
        Word(out, 0x2000);
    return out;
}

static void Field(std::string& out, char key, const std::string& text)
{
    size_t length = text.size() + 1;
    out += key;
    out += (char)(length >> 8);
    out += (char)length;
    out += text;
    out += '\0';
}

std::string BitFile(const std::string& configuration, const std::string& design, const std::string& part,
                    const std::string& date, const std::string& time)
{
    static const unsigned char preamble[13] = { 0x00, 0x09, 0x0f, 0xf0, 0x0f, 0xf0, 0x0f, 0xf0, 0x0f, 0xf0, 0x00, 0x00, 0x01 };
    std::string out((const char*)preamble, sizeof preamble);
    Field(out, 'a', design);
    Field(out, 'b', part);
    Field(out, 'c', date);
    Field(out, 'd', time);
    uint32_t length = (uint32_t)configuration.size();
    out += 'e';
    for (int shift = 24; shift >= 0; shift -= 8)
        out += (char)(length >> shift);
    return out + configuration;
}

bool ConfigurationOfBitFile(const std::string& bitFile, std::string* configuration)
{
    // As the tool reads it: skip the preamble, then fields of a key and a 16-bit length until 'e'.
    size_t at = 13;
    while (at < bitFile.size()) {
        char key = bitFile[at];
        if (key == 'e') {
            if (at + 5 > bitFile.size())
                return false;
            uint32_t length = 0;
            for (int i = 1; i <= 4; i++)
                length = length << 8 | (unsigned char)bitFile[at + i];
            if (bitFile.size() - (at + 5) < length)
                return false;
            configuration->assign(bitFile, at + 5, length);
            return true;
        }
        if (at + 3 > bitFile.size())
            return false;
        at += 3 + ((unsigned char)bitFile[at + 1] << 8 | (unsigned char)bitFile[at + 2]);
    }
    return false;
}

std::string UserFrames(uint32_t seed, size_t length)
{
    std::string frames(length, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < length; i++) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        frames[i] = (char)(x >> 11);
    }
    return frames;
}

std::string ExternalHelperFrames()
{
    return std::string(kExternalHelperMark, 16) + UserFrames(0x5b1, kIsfBridgeFrameLength - 16);
}

std::string ExternalHelperBitFile()
{ return BitFile(ConfigurationData(ExternalHelperFrames()), "vlrext.ncd"); }

// ---- the state file ----

static void Pages(std::ostringstream& out, const char* section, const std::string& flash, size_t pageSize)
{
    static const char hex[] = "0123456789ABCDEF";
    out << "\r\n[" << section << "]\r\n; " << flash.size() / pageSize << " pages of " << pageSize
        << " bytes; pages not listed are erased (all FF)\r\n";
    std::string line;
    for (size_t page = 0; page * pageSize < flash.size(); page++) {
        const char* bytes = flash.data() + page * pageSize;
        size_t i = 0;
        while (i < pageSize && bytes[i] == '\xff')
            i++;
        if (i == pageSize)
            continue;
        line.assign(std::to_string(page) + "=");
        for (i = 0; i < pageSize; i++)
            line += hex[(unsigned char)bytes[i] >> 4], line += hex[bytes[i] & 15];
        out << line << "\r\n";
    }
}

std::string WriteState(const CardState& state)
{
    std::ostringstream out;
    char crc[9];
    snprintf(crc, sizeof crc, "%08x", (unsigned)state.frameCrc);
    out << "; The simulated card between runs of the tool: its FPGA and both flashes.\r\n"
        << "[fpga]\r\ndone=" << (state.done ? 1 : 0) << "\r\ndesign=" << DesignName(state.design)
        << "\r\nconfigured-by=" << ConfiguredByName(state.configuredBy) << "\r\nframe-crc32=" << crc
        << "\r\nframe-length=" << state.frameLength << "\r\n";
    Pages(out, "isf", state.isf, kIsfPageSize);
    Pages(out, "spi", state.spi, kSpiPageSize);
    return out.str();
}

static int HexDigit(char c)
{
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

static bool Number(const std::string& text, int base, uint32_t limit, uint32_t* value)
{
    if (text.empty() || text.size() > 10)
        return false;
    uint64_t n = 0;
    for (char c : text) {
        int digit = HexDigit(c);
        if (digit < 0 || digit >= base)
            return false;
        n = n * base + digit;
    }
    if (n > limit)
        return false;
    *value = (uint32_t)n;
    return true;
}

bool ReadState(const std::string& text, CardState* state)
{
    CardState read;
    std::istringstream lines(text);
    std::string section, line;
    bool sawFpga = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            section = line;
            if (section == "[fpga]")
                sawFpga = true;
            else if (section != "[isf]" && section != "[spi]")
                return false;
            continue;
        }
        size_t equals = line.find('=');
        if (equals == std::string::npos)
            return false;
        std::string key = line.substr(0, equals), value = line.substr(equals + 1);
        uint32_t n = 0;
        if (section == "[fpga]") {
            if (key == "done" && (value == "0" || value == "1"))
                read.done = value == "1";
            else if (key == "design") {
                Design all[] = { Design::None, Design::IsfBridge, Design::SpiBridge, Design::User };
                bool known = false;
                for (Design d : all)
                    if (value == DesignName(d))
                        read.design = d, known = true;
                if (!known)
                    return false;
            } else if (key == "configured-by" && (value == "none" || value == "jtag" || value == "isf" || value == "spi"))
                read.configuredBy = value == "jtag" ? ConfiguredBy::Jtag : value == "isf" ? ConfiguredBy::Isf
                                 : value == "spi" ? ConfiguredBy::Spi : ConfiguredBy::None;
            else if (key == "frame-crc32" && Number(value, 16, 0xFFFFFFFFu, &n))
                read.frameCrc = n;
            else if (key == "frame-length" && Number(value, 10, 0xFFFFFFFFu, &n))
                read.frameLength = n;
            else
                return false;
            continue;
        }
        bool isf = section == "[isf]";
        if (section.empty())
            return false;
        std::string& flash = isf ? read.isf : read.spi;
        size_t pageSize = isf ? kIsfPageSize : kSpiPageSize;
        if (!Number(key, 10, (uint32_t)(flash.size() / pageSize - 1), &n) || value.size() != pageSize * 2)
            return false;
        for (size_t i = 0; i < pageSize; i++) {
            int high = HexDigit(value[2 * i]), low = HexDigit(value[2 * i + 1]);
            if (high < 0 || low < 0)
                return false;
            flash[n * pageSize + i] = (char)(high << 4 | low);
        }
    }
    if (!sawFpga)
        return false;
    *state = read;
    return true;
}

bool ReadWholeFile(const std::string& path, std::string* bytes)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    bytes->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

bool WriteWholeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), (std::streamsize)bytes.size());
    return (bool)file.flush();
}

}  // namespace card_files
