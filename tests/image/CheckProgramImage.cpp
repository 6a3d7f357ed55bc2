// check_program_image PROGRAM [DLL...]: fails (status 1, a line for each fault) when the built program
// imports more than kernel32 and msvcrt, does not declare the DLLs named after it in its delay-import
// table, or holds an address slot that points nowhere inside it. Runs on the build machine, which
// need not run the program's word size: a program no machine here can start is still checked.

#include <cstdio>
#include <exception>

#include "ProgramImage.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: check_program_image PROGRAM [DLL-LOADED-AT-FIRST-CALL...]\n");
        return 2;
    }
    try {
        const ProgramImage image(argv[1]);
        const std::vector<std::string> faults = ProgramImageFaults(image, std::vector<std::string>(argv + 2, argv + argc));
        for (const std::string& fault : faults) std::printf("%s: %s\n", argv[1], fault.c_str());
        if (!faults.empty()) return 1;
        std::printf("%s: %zu DLLs at start, %zu at first call, every slot inside the program\n", argv[1],
                    image.Imports().size(), image.DelayImports().size());
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.what());
        return 1;
    }
}
