// curanote-data: look into and look after a data folder from the command line.
// The convention every command follows is in tools/command.h.
#include "tools/command.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace cn::tool {

namespace fs = std::filesystem;

std::vector<Command>& commands()
{
    static std::vector<Command> list;
    return list;
}

namespace {

const char* const kExitStatus =
    "Exit status: 0 success, 1 the work failed or found damage (standard error says\n"
    "which file or item), 2 usage error.";

const Option* findOption(const Command& c, std::string_view name)
{
    for (const auto& o : c.options)
        if (o.name == name)
            return &o;
    return nullptr;
}

std::vector<const Command*> sortedCommands()
{
    std::vector<const Command*> out;
    for (const auto& c : commands())
        out.push_back(&c);
    std::sort(out.begin(), out.end(), [](const Command* a, const Command* b) { return a->name < b->name; });
    return out;
}

std::string overview()
{
    std::string out = "usage: curanote-data COMMAND [ARGUMENTS] [OPTIONS]\n\ncommands:\n";
    for (const Command* c : sortedCommands())
        out += "  curanote-data " + c->name + (c->synopsis.empty() ? "" : " " + c->synopsis) + "\n      " +
               c->summary + "\n";
    out += "\nDIR is the data folder (default: the current folder); options may stand\n"
           "anywhere among the arguments. 'curanote-data help COMMAND' or\n"
           "'curanote-data COMMAND --help' tells more about one command.\n";
    return out + kExitStatus + "\n";
}

// The usage of a group: each of its subcommands with its summary.
std::string groupUsage(const std::string& group)
{
    std::string out = "usage: curanote-data " + group + " SUBCOMMAND [ARGUMENTS] [OPTIONS]\n\nsubcommands:\n";
    for (const Command* c : groupCommands(group))
        out += "  curanote-data " + c->name + (c->synopsis.empty() ? "" : " " + c->synopsis) + "\n      " +
               c->summary + "\n";
    out += "\n'curanote-data " + group + " SUBCOMMAND --help' tells more about one of them.\n";
    return out + kExitStatus + "\n";
}

const Command* findCommand(const std::string& name)
{
    for (const auto& c : commands())
        if (c.name == name)
            return &c;
    return nullptr;
}

} // namespace

std::vector<const Command*> groupCommands(const std::string& group)
{
    std::vector<const Command*> out;
    for (const Command* c : sortedCommands())
        if (c->name.size() > group.size() && c->name.starts_with(group + " "))
            out.push_back(c);
    return out;
}

std::string usageOf(const Command& c)
{
    std::string out = "usage:\n  curanote-data " + c.name + (c.synopsis.empty() ? "" : " " + c.synopsis) + "\n";
    out += "      " + c.summary + "\n";
    if (!c.details.empty())
        out += c.details + (c.details.back() == '\n' ? "" : "\n");
    if (!c.options.empty()) {
        out += "options:\n";
        for (const auto& o : c.options) {
            std::string left = o.name + (o.value.empty() ? "" : " " + o.value);
            left.resize(std::max<size_t>(left.size() + 2, 20), ' ');
            out += "  " + left + o.help + "\n";
        }
    }
    return out + kExitStatus + "\n";
}

bool Invocation::has(std::string_view option) const
{
    return std::any_of(options_.begin(), options_.end(), [&](const auto& o) { return o.first == option; });
}

std::string Invocation::value(std::string_view option) const
{
    for (auto it = options_.rbegin(); it != options_.rend(); ++it)
        if (it->first == option)
            return it->second;
    return {};
}

int Invocation::usageError(const std::string& why) const
{
    std::fprintf(stderr, "curanote-data %s: %s\n%s", command_.name.c_str(), why.c_str(), usageOf(command_).c_str());
    return 2;
}

int Invocation::fail(const std::string& what) const
{
    std::fprintf(stderr, "curanote-data %s: %s\n", command_.name.c_str(), what.c_str());
    return 1;
}

int runCommand(const Command& command, const std::vector<std::string>& args)
{
    Invocation inv(command);
    std::vector<std::string> operands;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a.size() < 2 || a[0] != '-') {
            operands.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        if (a == "--help" || a == "-h") {
            std::fputs(usageOf(command).c_str(), stdout);
            return 0;
        }
        const size_t eq = a.find('=');
        const std::string name = a.substr(0, eq);
        const Option* o = a.starts_with("--") ? findOption(command, name) : nullptr;
        if (!o)
            return inv.usageError("unknown option " + name);
        if (o->value.empty()) {
            if (eq != std::string::npos)
                return inv.usageError(name + " takes no value");
            inv.options_.emplace_back(name, "");
        } else if (eq != std::string::npos) {
            inv.options_.emplace_back(name, a.substr(eq + 1));
        } else if (i + 1 < args.size()) {
            inv.options_.emplace_back(name, args[++i]);
        } else {
            return inv.usageError(name + " needs " + o->value);
        }
    }

    if (command.operands == Operands::FileThenFolder) {
        if (operands.empty())
            return inv.usageError("no " + command.fileName + " given");
        inv.files_.push_back(operands.front());
        operands.erase(operands.begin());
    }
    if (command.operands == Operands::Folder || command.operands == Operands::FileThenFolder) {
        if (operands.size() > 1)
            return inv.usageError("more than one data folder given: " + operands[0] + ", " + operands[1]);
        std::error_code ec;
        const fs::path dir = operands.empty() ? fs::current_path(ec) : fs::absolute(operands[0], ec);
        if (ec)
            return inv.fail("cannot tell where the data folder is: " + ec.message());
        if (!fs::is_directory(dir, ec))
            return inv.fail(dir.string() + ": no such folder");
        inv.folder_ = dir.lexically_normal().string();
        if (inv.folder_.size() > 1 && inv.folder_.back() == '/')
            inv.folder_.pop_back();
    } else {
        if (operands.size() < static_cast<size_t>(command.minFiles))
            return inv.usageError("no " + command.fileName + " given");
        if (command.maxFiles >= 0 && operands.size() > static_cast<size_t>(command.maxFiles))
            return inv.usageError("too many files given (" + operands.back() + ")");
        inv.files_ = std::move(operands);
    }
    return command.run(inv);
}

} // namespace cn::tool

int main(int argc, char** argv)
{
    using namespace cn::tool;
    if (argc < 2) {
        std::fputs(overview().c_str(), stderr);
        return 2;
    }
    const std::string name = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    if (name == "help" || name == "--help" || name == "-h") {
        if (args.empty()) {
            std::fputs(overview().c_str(), stdout);
            return 0;
        }
        std::string asked = args[0];
        for (size_t i = 1; i < args.size(); ++i)
            asked += " " + args[i];
        if (const Command* c = findCommand(asked)) {
            std::fputs(usageOf(*c).c_str(), stdout);
            return 0;
        }
        if (!groupCommands(asked).empty()) {
            std::fputs(groupUsage(asked).c_str(), stdout);
            return 0;
        }
        std::fprintf(stderr, "curanote-data help: unknown command '%s'\n%s", asked.c_str(), overview().c_str());
        return 2;
    }
    if (const Command* c = findCommand(name))
        return runCommand(*c, args);
    if (!groupCommands(name).empty()) {
        // A group: its subcommand comes first.
        if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
            std::fputs(groupUsage(name).c_str(), stdout);
            return 0;
        }
        if (!args.empty())
            if (const Command* c = findCommand(name + " " + args[0]))
                return runCommand(*c, std::vector<std::string>(args.begin() + 1, args.end()));
        if (args.empty())
            std::fprintf(stderr, "curanote-data %s: which one? Give a subcommand\n%s", name.c_str(), groupUsage(name).c_str());
        else
            std::fprintf(stderr, "curanote-data %s: unknown subcommand '%s'\n%s", name.c_str(), args[0].c_str(),
                         groupUsage(name).c_str());
        return 2;
    }
    std::fprintf(stderr, "curanote-data: unknown command '%s'\n%s", name.c_str(), overview().c_str());
    return 2;
}
