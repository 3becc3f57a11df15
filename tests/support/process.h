#pragma once
// Another copy of the program in the tests: a child process that works on
// the same data folder through a workspace of its own, while the test's
// process goes on; and a gate that lets two processes start together.
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace cn::testing {

// Starts `body` in a child process; its result is the child's exit status.
// The child leaves with _exit, so nothing of the parent's is torn down twice.
inline pid_t startProcess(const std::function<int()>& body)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    return pid;
}

// The child's exit status once it has ended (100 when it did not exit).
inline int exitStatus(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

inline int inAnotherProcess(const std::function<int()>& body) { return exitStatus(startProcess(body)); }

// One process waits at the gate until the other opens it (each opening
// lets one wait through).
struct Gate {
    int fd[2] = {-1, -1};
    Gate() { (void)!::pipe(fd); }
    ~Gate()
    {
        ::close(fd[0]);
        ::close(fd[1]);
    }
    Gate(const Gate&) = delete;
    Gate& operator=(const Gate&) = delete;
    void open() { (void)!::write(fd[1], "g", 1); }
    void wait()
    {
        char c;
        (void)!::read(fd[0], &c, 1);
    }
};

} // namespace cn::testing
