// The real programming tool and the simulated card in a test's Program directory: their files and the card's state.
#include "real_card.h"

namespace testing_support {

void UseRealTool(Session& s)
{
    const std::string tool = ExeDirectory() + "real-tool\\";
    CopyFileA((tool + "xc3sprog.exe").c_str(), (s.dir + "xc3sprog.exe").c_str(), FALSE);
    CopyFileA((tool + "xc3s400an.bit").c_str(), (s.dir + "xc3s400an.bit").c_str(), FALSE);
    card_files::WriteWholeFile(s.dir + "vlrext.bit", card_files::ExternalHelperBitFile());
    DeleteFileA((s.dir + "simulated-card.state").c_str());
}

void SetCard(const std::string& dir, const std::string& key, const std::string& value)
{
    WritePrivateProfileStringA("Card", key.c_str(), value.empty() ? NULL : value.c_str(), (dir + "simulated-card.ini").c_str());
}

card_files::CardState Card(const std::string& dir)
{
    card_files::CardState state;
    std::string text;
    if (card_files::ReadWholeFile(dir + "simulated-card.state", &text))
        card_files::ReadState(text, &state);
    return state;
}

void PutCard(const std::string& dir, const card_files::CardState& state)
{
    card_files::WriteWholeFile(dir + "simulated-card.state", card_files::WriteState(state));
}

std::string WriteDesign(const std::string& path, uint32_t seed, bool withStart)
{
    std::string frames = card_files::UserFrames(seed);
    card_files::WriteWholeFile(path, card_files::BitFile(card_files::ConfigurationData(frames, withStart)));
    return frames;
}

std::string Fpga(const card_files::CardState& card)
{
    if (card.design == card_files::Design::None)
        return "none";
    char crc[16];
    snprintf(crc, sizeof crc, "%08x", (unsigned)card.frameCrc);
    return std::string(card_files::DesignName(card.design)) + " by " + card_files::ConfiguredByName(card.configuredBy) +
           " " + crc + (card.done ? " DONE" : "");
}

std::string Fpga(const char* design, const char* by, const std::string& frames, bool done)
{
    char crc[16];
    snprintf(crc, sizeof crc, "%08x", (unsigned)card_files::Crc32(frames));
    return std::string(design) + " by " + by + " " + crc + (done ? " DONE" : "");
}

std::string DataOf(const std::string& path)
{
    std::string configuration;
    EXPECT_TRUE(card_files::ConfigurationOfBitFile(ReadFileText(path), &configuration)) << path;
    return configuration;
}

::testing::AssertionResult Holds(const std::string& flash, const std::string& bytes)
{
    const size_t page = flash.size() == card_files::kIsfSize ? card_files::kIsfPageSize : card_files::kSpiPageSize;
    size_t at = 0;
    while (at < bytes.size() && at < flash.size() && flash[at] == bytes[at])
        ++at;
    if (at == bytes.size())
        at = flash.find_first_not_of('\xff', (bytes.size() + page - 1) / page * page);
    if (at == std::string::npos)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the flash differs at " << at << " of " << bytes.size() << " bytes";
}

std::string Adds(Session& s, int id)
{
    size_t before = ControlText(s.w, 4009).size();
    Command(s.w, id);
    return ControlText(s.w, 4009).substr(before);
}

std::string RunToolDirectly(const Session& s, const std::string& commandLine, DWORD* exitCode)
{
    SECURITY_ATTRIBUTES inherited = { sizeof inherited, NULL, TRUE };
    HANDLE read = NULL, write = NULL;
    if (!CreatePipe(&read, &write, &inherited, 0))
        return "";
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = write;
    PROCESS_INFORMATION process = {};
    std::string line = commandLine, output;
    BOOL started = CreateProcessA((s.dir + "xc3sprog.exe").c_str(), &line[0], NULL, NULL, TRUE, CREATE_NO_WINDOW, NULL,
                                  s.dir.c_str(), &startup, &process);
    CloseHandle(write);
    char chunk[4096];
    DWORD size = 0;
    while (started && ReadFile(read, chunk, sizeof chunk, &size, NULL) && size > 0)
        output.append(chunk, size);
    CloseHandle(read);
    if (started) {
        WaitForSingleObject(process.hProcess, INFINITE);
        if (exitCode)
            GetExitCodeProcess(process.hProcess, exitCode);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    return output;
}

}  // namespace testing_support
