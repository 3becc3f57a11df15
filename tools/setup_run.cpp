#include "tools/setup_run.h"

#include <cstdio>
#include <ctime>

namespace cn::tool {

namespace {

using cn::data::SetupBox;

std::string trimmed(const std::string& s)
{
    const size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

// Clean-up's closing message; every other message of a run tells of a problem
// (a table or index that could not be used, faulty master records).
constexpr const char* kCleanupComplete = "Data Cleanup Complete";

std::tm local()
{
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return t;
}

} // namespace

void PrintingObserver::status(const std::string& text)
{
    std::string line = trimmed(text);
    if (line != last_)
        std::printf("%s\n", line.c_str());
    last_ = std::move(line);
}

int PrintingObserver::message(SetupBox kind, const std::string& text)
{
    static const char* const kinds[] = {"INFO", "EXCLAMATION", "STOP", "OK/CANCEL"};
    // Lines after the first indented under it.
    std::string shown;
    for (char c : text)
        shown += c == '\n' ? std::string("\n  ") : std::string(1, c);
    for (size_t at; (at = shown.find("  \n")) != std::string::npos;)
        shown.erase(at, 2);
    std::printf("%s: %s\n", kinds[static_cast<int>(kind)], shown.c_str());
    last_.clear();
    if (kind == SetupBox::OkCancel) {
        std::printf("  answered OK (--yes)\n");
        return 1;
    }
    if (!(kind == SetupBox::Info && text == kCleanupComplete)) {
        if (outcome.problems++ == 0)
            outcome.firstProblem = text;
    }
    return 1;
}

cn::data::Date PrintingObserver::today()
{
    const std::tm t = local();
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday};
}

long PrintingObserver::secondsSinceMidnight()
{
    const std::tm t = local();
    return t.tm_hour * 3600L + t.tm_min * 60L + t.tm_sec;
}

SetupOutcome runSetup(const std::string& folder, bool cleanup)
{
    cn::data::Workspace ws(folder);
    PrintingObserver observer;
    cn::data::Setup setup(ws, observer);
    setup.SETUP_PROCESS(cleanup);
    ws.closeAll();
    std::fflush(stdout);
    observer.outcome.log = setup.log();
    return observer.outcome;
}

} // namespace cn::tool
