#pragma once
// The data tool run as a user runs it, in a folder of the test's choosing.
#include "data/interop_util.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace cn::test {

struct Split {
    int status = -1;
    std::string out, err;
};

// The tool run in folder cwd, standard output and error apart (standard
// error passes through a file in cwd, removed again).
inline Split toolIn(const std::filesystem::path& cwd, const std::string& args)
{
    const std::filesystem::path err = cwd / ".tool-stderr";
    const auto r = cn::interop::run("cd " + cn::interop::sh(cwd.string()) + " && " +
                                    cn::interop::sh(std::string(CURANOTE_BIN_DIR) + "/curanote-data") + " " + args +
                                    " 2>" + cn::interop::sh(err.string()));
    std::ifstream f(err, std::ios::binary);
    Split s{r.status, r.out, std::string(std::istreambuf_iterator<char>(f), {})};
    f.close();
    std::filesystem::remove(err);
    return s;
}

} // namespace cn::test
