// numora-dbtool: makes directory database files for installing, testing and
// measuring the program.
//
//   numora-dbtool empty PATH      both tables, today's columns, no cards
//   numora-dbtool old PATH [N]    the format before Address and Email (N cards per group)
//   numora-dbtool sample PATH N   today's format with N generated cards per group

#include "tools/DbFile.h"

#include <charconv>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

namespace {

int usage()
{
    std::fputs("usage: numora-dbtool empty PATH\n"
               "       numora-dbtool old PATH [N]\n"
               "       numora-dbtool sample PATH N\n"
               "Makes a directory database file at PATH (never over an existing file);\n"
               "N is the number of generated cards in each group.\n",
               stderr);
    return 2;
}

bool parseCount(std::string_view text, int& count)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, count);
    return ec == std::errc() && ptr == end && count >= 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return usage();
    const std::string_view command = argv[1];
    const std::string path = argv[2];
    if (path.empty())
        return usage();
    try {
        int count = 0;
        if (command == "empty" && argc == 3) {
            numora::dbfile::createEmpty(path);
        } else if (command == "old" && (argc == 3 || argc == 4)) {
            if (argc == 4 && !parseCount(argv[3], count))
                return usage();
            numora::dbfile::createOldSample(path, count);
        } else if (command == "sample" && argc == 4) {
            if (!parseCount(argv[3], count))
                return usage();
            numora::dbfile::createSample(path, count);
        } else {
            return usage();
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "numora-dbtool: %s\n", e.what());
        return 1;
    }
    return 0;
}
