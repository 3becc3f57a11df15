#pragma once
// Helpers for the interoperability tests: a temporary folder, running an
// external program and capturing what it prints, and finding the independent
// dBASE readers (Python modules and the Perl module's scripts).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sys/wait.h>
#include <string>
#include <vector>

namespace cn::interop {

class TempDir {
public:
    TempDir()
    {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() / ("curanote-interop-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string str() const { return path_.string(); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

struct Outcome {
    int status = -1;        // exit status, -1 when it did not exit normally
    std::string out;        // standard output
};

// Runs a shell command line; standard error goes to err_file when given.
inline Outcome run(const std::string& command)
{
    Outcome r;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p)
        return r;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

// Single quotes for the shell.
inline std::string sh(const std::string& s)
{
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

inline bool haveCommand(const std::string& name)
{
    return run("command -v " + sh(name) + " >/dev/null 2>&1").status == 0;
}

// A Python interpreter that can import the module: the system one first (the
// Debian packages install there), then whatever python3 the PATH gives.
inline std::string pythonWith(const std::string& module)
{
    for (const std::string py : {"/usr/bin/python3", "python3"}) {
        if (run(py + " -c " + sh("import " + module) + " >/dev/null 2>&1").status == 0)
            return py;
    }
    return {};
}

// Writes a script into dir and runs it with the interpreter and arguments.
inline Outcome runScript(const std::string& interpreter, const std::string& dir, const std::string& script,
                     const std::vector<std::string>& args)
{
    const std::string path = dir + "/script.py";
    std::ofstream(path, std::ios::binary) << script;
    std::string cmd = interpreter + " " + sh(path);
    for (const auto& a : args)
        cmd += " " + sh(a);
    return run(cmd + " 2>&1");
}

inline std::string readFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

inline void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A JSON string as Python's json.dumps(..., ensure_ascii=False) writes it.
inline std::string js(const std::string& utf8)
{
    std::string out = "\"";
    for (char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"') out += "\\\"";
        else if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (c < 0x20) {
            char b[8];
            std::snprintf(b, sizeof b, "\\u%04x", c);
            out += b;
        } else out += ch;
    }
    return out + "\"";
}

} // namespace cn::interop
