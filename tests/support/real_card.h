// The real programming tool and the simulated card in a test's Program directory: their files and the card's state.
#ifndef LOADER_REAL_CARD_H
#define LOADER_REAL_CARD_H

#include <string>

#include <gtest/gtest.h>

#include "card_files.h"
#include "test_support.h"

namespace testing_support {

// Puts the real tool in place of the stand-in, with its own bridge to the in-system flash (xc3s400an.bit) and
// the external flash's helper (vlrext.bit) that the simulated card knows; the card starts blank and powered.
void UseRealTool(Session& s);

// One key of the card's conditions ([Card] of simulated-card.ini); an empty value takes the condition away.
void SetCard(const std::string& dir, const std::string& key, const std::string& value);

// What the card holds now, from its state file; a blank card when there is none.
card_files::CardState Card(const std::string& dir);
void PutCard(const std::string& dir, const card_files::CardState& state);

// A design as a .bit file at path; its frame data is returned, to be compared with what the card loaded.
std::string WriteDesign(const std::string& path, uint32_t seed, bool withStart = true);

// What the FPGA runs, as "<kind> by <how> <frame CRC-32>" and " DONE" once started; "none" when it holds nothing.
std::string Fpga(const card_files::CardState& card);
std::string Fpga(const char* design, const char* by, const std::string& frames, bool done = true);

// The configuration data of a .bit file, as the tool takes it from the file.
std::string DataOf(const std::string& path);

// Whether a flash holds exactly these bytes from address 0, and nothing but erased bytes after the page that
// holds their end (the tool programs whole pages: what follows the file's end in its last page is the tool's).
::testing::AssertionResult Holds(const std::string& flash, const std::string& bytes);

// What a command (a click on it) added to the status box.
std::string Adds(Session& s, int id);

// What the real tool prints for this command line, run here directly as the loader runs it (its output and
// errors into one pipe, from the Program directory): the tool's words, to compare with what the loader shows.
std::string RunToolDirectly(const Session& s, const std::string& commandLine, DWORD* exitCode = nullptr);

}  // namespace testing_support

#endif
