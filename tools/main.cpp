// curanote-data: look into a data folder from the command line.
#include "tools/command.h"

#include <cstdio>

namespace cn::tool {
std::vector<Command>& commands()
{
    static std::vector<Command> list;
    return list;
}
} // namespace cn::tool

static void usage(FILE* out)
{
    std::fprintf(out, "usage:\n");
    for (const auto& c : cn::tool::commands())
        std::fprintf(out, "%s\n", c.usage.c_str());
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        usage(stderr);
        return 2;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        usage(stdout);
        return 0;
    }
    for (const auto& c : cn::tool::commands()) {
        if (c.name == name)
            return c.run(std::vector<std::string>(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "curanote-data: unknown command '%s'\n", name.c_str());
    usage(stderr);
    return 2;
}
