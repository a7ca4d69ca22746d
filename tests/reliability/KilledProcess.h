#pragma once

// A kolvix-merge process that the crash-safety tests kill with SIGKILL: started with its
// standard streams on pipes or /dev/null, read until a line appears, then killed or waited for.
// Linux only (posix_spawn, pipe2).

#ifdef __linux__

#include <QByteArray>
#include <QList>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace kolvix::test {

// How the process ended, and what it printed on the stream the test read.
struct Ending
{
    bool killed = false; // by our SIGKILL (false: it ended by itself)
    int exitCode = -1;
    QByteArray read;
};

struct Pipe
{
    int fds[2] = {-1, -1};
    Pipe()
    {
        if (pipe2(fds, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe2 failed");
    }
    ~Pipe()
    {
        closeWrite();
        if (fds[0] >= 0)
            close(fds[0]);
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    void closeWrite()
    {
        if (fds[1] >= 0)
            close(fds[1]);
        fds[1] = -1;
    }
};

// Starts the built kolvix-merge with the arguments (without the program), standard input
// /dev/null, standard output and error on the descriptors given (-1: /dev/null).
inline pid_t spawnKolvixMerge(const QList<QByteArray>& args, int out, int err)
{
    const QByteArray program = KOLVIX_BINARY_DIR "/kolvix-merge";
    std::vector<char*> argv {const_cast<char*>(program.constData())};
    for (const QByteArray& a : args)
        argv.push_back(const_cast<char*>(a.constData()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (out >= 0)
        posix_spawn_file_actions_adddup2(&actions, out, 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (err >= 0)
        posix_spawn_file_actions_adddup2(&actions, err, 2);
    else
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.constData(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        throw std::runtime_error("cannot start kolvix-merge");
    return pid;
}

// Kills the process first when killNow, and waits for it.
inline Ending reap(pid_t pid, bool killNow)
{
    if (killNow)
        kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    Ending ending;
    ending.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    ending.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return ending;
}

// Reads the pipe until `line` has appeared (then kills the process at once) or the pipe
// closes (then waits for the process to end); kills it after two minutes at most.
inline Ending killOnLine(pid_t pid, int readEnd, const QByteArray& line)
{
    QByteArray read;
    bool seen = false;
    bool closed = false;
    for (int rounds = 0; rounds < 1200 && !seen && !closed; ++rounds) {
        pollfd p {readEnd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::read(readEnd, buffer, sizeof buffer);
        closed = n <= 0;
        if (n > 0)
            read.append(buffer, n);
        seen = !line.isEmpty() && read.contains(line);
    }
    Ending ending = reap(pid, !closed);
    ending.read = read;
    return ending;
}

} // namespace kolvix::test

#endif
