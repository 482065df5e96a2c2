// Fuzz target: the tool's output read in random pieces, against a reading of the whole text line by line.
#include <stdint.h>

#include <string>
#include <vector>

#include "fuzz_check.h"
#include "ops/tool_output.h"

static std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines(1);
    for (char c : text)
        if (c == '\r' || c == '\n')
            lines.emplace_back();
        else
            lines.back() += c;
    return lines;
}

// The first failure the table names, as the row whose text the failure line must show; -1 for none.
static long FirstFailure(const std::vector<std::string>& lines)
{
    size_t count;
    const ToolFailureText* table = ToolFailureTexts(&count);
    for (const std::string& line : lines)
        for (size_t row = 0; row < count; ++row)
            if (line.find(table[row].text) != std::string::npos &&
                (table[row].alsoOnLine == nullptr || line.find(table[row].alsoOnLine) != std::string::npos))
                return (long)row;
    return -1;
}

static std::string Shown(const std::string& line)
{
    std::string shown = line.substr(0, TOOL_LINE_CAPACITY - 1);
    for (char& c : shown)
        c = (unsigned char)c < ' ' || c == 0x7F ? ' ' : c;
    size_t first = shown.find_first_not_of(' ');
    return first == std::string::npos ? "" : shown.substr(first);
}

// Reads text in pieces that end at the given offsets, checking the bounds after every piece.
static void Read(Guarded<ToolOutput>* guarded, const std::string& text, const std::vector<size_t>& cuts,
                 const std::string& progress)
{
    ToolOutput* output = &guarded->value;
    StartToolOutput(output);
    size_t from = 0;
    for (size_t cut : cuts) {
        ReadToolOutput(output, text.data() + from, cut - from);
        from = cut;
        CHECK(output->kept < TOOL_LINE_CAPACITY && output->line[output->kept] == '\0' &&
              strlen(output->line) == output->kept);
        CHECK(memchr(output->lastLine, '\0', TOOL_LINE_CAPACITY) != nullptr);
    }
    ReadToolOutput(output, text.data() + from, text.size() - from);
    // The progress is the last line with something in it, before the output's end and after it; any character is news.
    CHECK(progress == ToolProgressLine(output) &&
          output->progressChanged == (text.find_first_not_of("\r\n") != std::string::npos));
    EndToolOutput(output);
    CHECK(progress == ToolProgressLine(output));
    CHECK(memchr(output->reason, '\0', TOOL_REASON_CAPACITY) != nullptr && strlen(output->reason) <= 64);
    for (const char* c = output->reason; *c != '\0'; ++c)
        CHECK((unsigned char)*c >= ' ' && *c != 0x7F);
    CHECK(guarded->Intact());
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    // The first bytes choose a failure text and where it goes into the rest, so that the texts come often.
    size_t count;
    const ToolFailureText* table = ToolFailureTexts(&count);
    const ToolFailureText& planted = table[data[0] % count];
    std::string text((const char*)data + 3, size - 3);
    size_t at = text.empty() ? 0 : (data[1] | data[2] << 8) % (text.size() + 1);
    std::string inserted;
    if (data[0] & 0x80) {
        // After a false start, the text up to where its first letter comes again, as in "Page Page Program failed":
        // the search must not lose the text over it.
        const char* again = strchr(planted.text + 1, planted.text[0]);
        inserted = std::string(planted.text, data[0] & 0x40 && again ? again - planted.text : 0) + planted.text;
        if (planted.alsoOnLine)
            inserted += " " + std::string(planted.alsoOnLine);
        text.insert(at, inserted);
    }
    std::vector<std::string> lines = Lines(text);
    long expected = FirstFailure(lines);
    std::string last;
    for (const std::string& line : lines)
        last = Shown(line).empty() ? last : Shown(line);

    // The same text read whole, in pieces cut where the input's bytes say, and cut at every place inside
    // the planted text: the reader must see the same in all of them.
    Guarded<ToolOutput> whole, pieces;
    Read(&whole, text, {}, last);
    std::vector<size_t> cuts;
    for (size_t i = 0, cut = 0; i < size && cut < text.size(); ++i)
        if ((cut += 1 + data[i] % 61) < text.size())
            cuts.push_back(cut);
    Read(&pieces, text, cuts, last);
    CHECK(strcmp(whole.value.reason, pieces.value.reason) == 0);
    CHECK(strcmp(whole.value.lastLine, pieces.value.lastLine) == 0);
    for (size_t cut = at; cut <= at + inserted.size() && text.size() < 4096; ++cut) {
        Read(&pieces, text, { cut }, last);
        CHECK(strcmp(whole.value.reason, pieces.value.reason) == 0);
    }

    CHECK(ToolOutputFailed(&whole.value) == (expected >= 0));
    if (expected >= 0)
        CHECK(strstr(whole.value.reason, table[expected].text) != nullptr);
    return 0;
}
