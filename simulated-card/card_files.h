// The simulated card's files for tests and the demo: configuration data, .bit files, the card's state file.
// Portable C++ without Windows calls, so that it builds for Windows (tests) and for the build machine (demo files).
#ifndef SIMULATED_CARD_FILES_H
#define SIMULATED_CARD_FILES_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace card_files {

// The XC3S400AN as its configuration logic knows it: the IDCODE register of a bitstream carries no revision,
// while the JTAG IDCODE (0x22620093) does.
constexpr uint32_t kBitstreamIdcode = 0x02620093;

constexpr size_t kIsfPageSize = 264, kIsfPages = 2048;  // in-system flash (AT45DB041-style), erased = 0xFF
constexpr size_t kSpiPageSize = 256, kSpiPages = 8192;  // external flash (M25P16-style), erased = 0xFF
constexpr size_t kIsfSize = kIsfPageSize * kIsfPages, kSpiSize = kSpiPageSize * kSpiPages;

// CRC-32 as zlib and PNG compute it (reflected, polynomial 0xEDB88320); pass the previous result to go on.
uint32_t Crc32(const std::string& bytes, uint32_t crc = 0);
uint32_t Crc32(const unsigned char* bytes, size_t length, uint32_t crc = 0);

// The tool's own bridge to the in-system flash, xc3s400an.bit in the tool's source (bscan_spi/), is known by its
// frame data alone: length and CRC-32 measured from that file, which is not part of this project.
constexpr uint32_t kIsfBridgeFrameLength = 235620, kIsfBridgeFrameCrc = 0x177dd58c;

// vlrext.bit, the board's bridge to the external flash, does not exist here: the card knows it by this mark at
// the start of its frame data, which only the files made below carry. 16 bytes, a whole number of frame words.
extern const char kExternalHelperMark[17];

enum class Design { None, IsfBridge, SpiBridge, User };
enum class ConfiguredBy { None, Jtag, Isf, Spi };
const char* DesignName(Design design);              // "none", "isf-bridge", "spi-bridge", "user"
const char* ConfiguredByName(ConfiguredBy by);      // "none", "jtag", "isf", "spi"

// What a started design is, from its frame data (length, CRC-32 and first bytes).
Design ClassifyFrames(uint32_t length, uint32_t crc, const std::string& firstBytes);

// Configuration data as a .bit file carries it after its 'e' field (and as the configuration logic takes it, most
// significant bit first): dummy words, the sync word, an IDCODE write, the frame data written to FDRI with a
// type-2 packet, then GRESTORE, LFRM, START (unless withStart is false) and DESYNC. Frame data of odd length
// gets a zero byte to fill its last word.
std::string ConfigurationData(const std::string& frames, bool withStart = true, uint32_t idcode = kBitstreamIdcode);

// A .bit file around configuration data: the 13-byte preamble, then the fields a (design name), b (part),
// c (date), d (time), each zero-terminated, and e (data length, 4 bytes big-endian, and the data).
std::string BitFile(const std::string& configuration, const std::string& design = "top.ncd",
                    const std::string& part = "3s400anfgg400", const std::string& date = "2024/05/14",
                    const std::string& time = "10:20:30");

// The configuration data of a .bit file, read as the tool reads it; false when the file has no complete 'e' field.
bool ConfigurationOfBitFile(const std::string& bitFile, std::string* configuration);

// Frame data of a user design: length bytes, deterministic for a seed; the XC3S400AN's own length by default.
std::string UserFrames(uint32_t seed, size_t length = kIsfBridgeFrameLength);

// vlrext.bit: the external-flash bridge's frame data (the mark, then filler) and the whole file.
std::string ExternalHelperFrames();
std::string ExternalHelperBitFile();

// The card's state between runs of the tool. Both flashes are held whole, so that a test can prepare them
// directly and compare what they hold byte for byte.
struct CardState {
    bool done = false;                             // the DONE pin: a design has started
    Design design = Design::None;                  // what the configuration memory holds
    ConfiguredBy configuredBy = ConfiguredBy::None;
    uint32_t frameCrc = 0, frameLength = 0;        // CRC-32 and length in bytes of the frame data loaded
    std::string isf = std::string(kIsfSize, '\xff');
    std::string spi = std::string(kSpiSize, '\xff');
};

// The state file's text (documented in simulated-card/README.md) and its reading; ReadState gives false for text
// that is not a state file, and then leaves state as it was.
std::string WriteState(const CardState& state);
bool ReadState(const std::string& text, CardState* state);

// Whole files, binary; false when the file cannot be read or written.
bool ReadWholeFile(const std::string& path, std::string* bytes);
bool WriteWholeFile(const std::string& path, const std::string& bytes);

}  // namespace card_files

#endif
