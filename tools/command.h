#pragma once
// The commands of curanote-data and the one convention they all follow.
//
//   curanote-data COMMAND [OPERANDS] [OPTIONS]
//
// - Options may stand anywhere among the operands, as --name, --name VALUE or
//   --name=VALUE; "--" ends the options.
// - A folder command takes the data folder DIR as its one optional operand
//   (default: the current folder); it is made absolute once, here. A file
//   command takes the files it names.
// - Exit status: 0 success; 1 the work failed or found damage, with a
//   one-line message on standard error naming the file or the item; 2 a
//   usage error (an unknown option, a missing or surplus operand, a value that
//   does not parse), with the usage on standard error.
// - COMMAND --help prints the command's usage on standard output;
//   `curanote-data help` lists every command.
//
// A command is one file: its run function and one registration line,
//   const Register reg(Command("setup", "[DIR]", "Runs the set-up.").describe("...").runs(run));
// A command named with two words ("print prescription") is a subcommand of
// the first: `curanote-data print` lists the print commands, and another
// subcommand joins the group by registering its own two-word name.
// The parser below checks the options and operands before run is called.
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cn::tool {

struct Option {
    std::string name;     // "--index"
    std::string value;    // the value's name in the usage ("FILE.ntx"); empty for a flag
    std::string help;     // one line
};

enum class Operands {
    Folder,          // at most one: the data folder DIR, the current folder when none is given
    Files,           // the files named, between minFiles and maxFiles of them
    FileThenFolder,  // one file (FILE), then the data folder as for Folder
};

class Invocation;

struct Command {
    Command(std::string name, std::string synopsis, std::string summary)
        : name(std::move(name)), synopsis(std::move(synopsis)), summary(std::move(summary))
    {
    }
    // Lines for COMMAND --help, each starting with six spaces.
    Command& describe(std::string text)
    {
        details = std::move(text);
        return *this;
    }
    // value: the value's name in the usage ("FILE.ntx"); empty for a flag.
    Command& option(std::string optionName, std::string value, std::string help)
    {
        options.push_back({std::move(optionName), std::move(value), std::move(help)});
        return *this;
    }
    // A file command: between least and most files (most < 0: no limit);
    // what names the first for messages ("table (FILE.dbf)").
    Command& takesFiles(int least, int most, std::string what)
    {
        operands = Operands::Files;
        minFiles = least;
        maxFiles = most;
        fileName = std::move(what);
        return *this;
    }
    // One file, then the optional data folder ("ZIP [DIR]").
    Command& takesFileThenFolder(std::string what)
    {
        operands = Operands::FileThenFolder;
        minFiles = maxFiles = 1;
        fileName = std::move(what);
        return *this;
    }
    Command& runs(std::function<int(Invocation&)> f)
    {
        run = std::move(f);
        return *this;
    }

    std::string name;
    std::string synopsis;            // after the name: "[DIR] --yes", "FILE.dbf [FILE.ntx ...]"
    std::string summary;             // one line, for the command list
    std::string details;
    std::vector<Option> options;
    Operands operands = Operands::Folder;
    int minFiles = 0, maxFiles = 0;
    std::string fileName;
    std::function<int(Invocation&)> run;
};

// One run of a command, as parsed from its arguments.
class Invocation {
public:
    explicit Invocation(const Command& command) : command_(command) {}

    const Command& command() const { return command_; }
    // Folder commands: the data folder, absolute.
    const std::string& folder() const { return folder_; }
    // Files commands: the operands as given (the one file of FileThenFolder).
    const std::vector<std::string>& files() const { return files_; }
    bool has(std::string_view option) const;
    // The option's value; empty when it was not given.
    std::string value(std::string_view option) const;

    // A value that does not parse, or options that do not go together: the
    // reason and the usage on standard error; returns 2.
    int usageError(const std::string& why) const;
    // The work failed or found damage: "curanote-data NAME: what" on standard
    // error; returns 1.
    int fail(const std::string& what) const;

private:
    friend int runCommand(const Command& command, const std::vector<std::string>& args);
    const Command& command_;
    std::string folder_;
    std::vector<std::string> files_;
    std::vector<std::pair<std::string, std::string>> options_;
};

std::vector<Command>& commands();
// Parses args (the arguments after the command's name) and runs the command.
int runCommand(const Command& command, const std::vector<std::string>& args);
// A command's usage text: synopsis, details, options, exit status.
std::string usageOf(const Command& command);
// The subcommands of a group ("print"), sorted by name; empty when no
// command belongs to it.
std::vector<const Command*> groupCommands(const std::string& group);

struct Register {
    Register(Command c) { commands().push_back(std::move(c)); }
};

} // namespace cn::tool
