// What the benchmarks that time calls against a real dln-sim share: dln-sim started on a free
// port (read from its ready line) and stopped with SIGTERM, and an adapter opened through a
// libdln loaded with dlopen. Either exits the benchmark with a line on standard error when it
// cannot do its part.
#pragma once

#include "dln_api.h"

#include <dlfcn.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

extern char **environ;

#define FUNCTION(lib, name) reinterpret_cast<decltype(&name)>(dlsym(lib, #name))

[[noreturn]] inline void BenchFail(const std::string &why) {
    std::fprintf(stderr, "benchmark: %s\n", why.c_str());
    std::exit(1);
}

struct SimProcess {
    explicit SimProcess(const char *program, std::vector<std::string> extra = {}) {
        int out[2];
        if (pipe(out) != 0)
            BenchFail("pipe failed");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<std::string> args = {program, "--port", "0"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char *> argv;
        for (std::string &arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid, program, &actions, nullptr, argv.data(), environ) != 0)
            BenchFail(std::string("cannot start ") + program);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        std::FILE *lines = fdopen(out[0], "r");
        char line[256] = "";
        if (std::fgets(line, sizeof line, lines) == nullptr)
            BenchFail("dln-sim printed no ready line");
        std::string text = line;
        port = static_cast<uint16_t>(std::atoi(text.substr(text.rfind(':') + 1).c_str()));
        if (port == 0)
            BenchFail("no port in dln-sim's line: " + text);
    }
    ~SimProcess() {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    // Resident memory in KiB, from /proc.
    long residentKiB() const {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmRSS:", 0) == 0)
                return std::atol(line.c_str() + 6);
        return -1;
    }

    pid_t pid = -1;
    uint16_t port = 0;
};

// Connects lib's DlnConnect to the server, opens the adapter and selects the loopback line.
inline HDLN OpenAdapter(void *lib, uint16_t port) {
    HDLN handle = 0;
    if (FUNCTION(lib, DlnConnect)("127.0.0.1", port) != 0 ||
        FUNCTION(lib, DlnOpenDevice)(0, &handle) != 0 ||
        FUNCTION(lib, DlnSpiMasterSetSS)(handle, 0, 0xFD) != 0)
        BenchFail("cannot open the adapter");
    return handle;
}
