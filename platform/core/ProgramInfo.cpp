#include "platform/core/ProgramInfo.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

const char* numora_release(void) { return NUMORA_RELEASE; }

int numora_answer_info(int argc, char** argv, const char* program, const char* help)
{
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--") == 0)
            break;
        const bool wantsHelp = std::strcmp(arg, "--help") == 0;
        if (!wantsHelp && std::strcmp(arg, "--version") != 0)
            continue;
        if (wantsHelp)
            std::fputs(help, stdout);
        else
            std::printf("%s (Numora) %s\n", program, numora_release());
        // A full disk or a closed pipe is a failure to answer, not success.
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
            std::fprintf(stderr, "%s: cannot write to standard output: %s\n", program, std::strerror(errno));
            return 1;
        }
        return 0;
    }
    return -1;
}
