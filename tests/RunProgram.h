// Runs a program with an argument vector (posix_spawn, no shell) and gives
// back its exit status and everything it wrote to standard output.
#ifndef LUMORA_TEST_RUN_PROGRAM_H
#define LUMORA_TEST_RUN_PROGRAM_H

#include <fcntl.h>
#include <map>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

struct ProgramRun {
    int status = -1; // exit status, or -1 when it could not run or was killed
    std::string output;
};

inline ProgramRun runProgram(const std::string& program, std::vector<std::string> args = {}) {
    ProgramRun run;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned == 0) {
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
            run.output.append(buffer, static_cast<std::size_t>(n));
        int status = 0;
        ::waitpid(pid, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    ::close(pipeFds[0]);
    return run;
}

// Reads "<label> <text>" lines, as the probe programs print them, into a map.
inline std::map<std::string, std::string> labelledLines(const std::string& output) {
    std::map<std::string, std::string> values;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::size_t space = line.find(' ');
        values[line.substr(0, space)] = line.substr(space + 1);
    }
    return values;
}

#endif
