// Writes the demo's bitstreams for the simulated card into a folder: vlrext.bit, sample.bit and nostart.bit.
#include <cstdio>
#include <string>

#include "card_files.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: make_card_files <folder>\n");
        return 2;
    }
    using namespace card_files;
    std::string folder = std::string(argv[1]) + "/";
    const struct { const char* name; std::string bits; } files[] = {
        { "vlrext.bit", ExternalHelperBitFile() },
        { "sample.bit", BitFile(ConfigurationData(UserFrames(1)), "sample.ncd") },
        { "nostart.bit", BitFile(ConfigurationData(UserFrames(2), false), "nostart.ncd") },
    };
    for (const auto& file : files)
        if (!WriteWholeFile(folder + file.name, file.bits)) {
            fprintf(stderr, "make_card_files: cannot write %s%s\n", folder.c_str(), file.name);
            return 1;
        }
    return 0;
}
