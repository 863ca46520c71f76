// Saves a known trace file or picture, as the program's Save and picture export do,
// so that a test can run a save as another user (setpriv) and check what happened.
// Usage: save-file trace|bmp PATH. Prints the user id, then "saved" or the error.
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "../SavePattern.h"
#include "base/Errors.h"

using namespace veldora::base;
using namespace veldora::storage;

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "trace") != 0 && std::strcmp(argv[1], "bmp") != 0)) {
        std::fprintf(stderr, "usage: save-file trace|bmp PATH\n");
        return 2;
    }
    std::printf("uid %u\n", static_cast<unsigned>(::geteuid()));
    try {
        if (std::strcmp(argv[1], "trace") == 0)
            writeTraceFile(argv[2], savepattern::x(), savepattern::y());
        else
            writeBmpFile(argv[2], savepattern::picture());
    } catch (const Exception& e) {
        std::printf("%s: %s\n", e.className(), e.message().c_str());
        return 1;
    }
    std::printf("saved\n");
    return 0;
}
