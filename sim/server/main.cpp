// dln-sim: a DLN server simulating adapter 0 and the robot's devices.
//
//   dln-sim [--port N] [--bind ADDRESS] [--scenario FILE] [--trace FILE] [--max-clients N]
//
// Prints one line when it accepts connections; stops cleanly on SIGINT or SIGTERM (on Windows
// also on Ctrl-C and Ctrl-Break in its console).
#include "dlnsim/scenario.h"
#include "dlnsim/server.h"

#include <asio.hpp>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Options {
    uint16_t port = 9656;
    std::string bind = "127.0.0.1";
    std::string scenario;
    std::string trace;
    size_t maxClients = dlnsim::Server::kDefaultMaxClients;
};

[[noreturn]] void Usage(const char *problem, int status = 2) {
    std::fprintf(status == 0 ? stdout : stderr,
                 "dln-sim: %s\n"
                 "usage: dln-sim [--port N] [--bind ADDRESS] [--scenario FILE] [--trace FILE]\n"
                 "               [--max-clients N]\n"
                 "  --port N          TCP port to listen on (default 9656, 0 picks a free one)\n"
                 "  --bind ADDRESS    address to listen on (default 127.0.0.1)\n"
                 "  --scenario FILE   adapter, devices and faults in JSON (default: the robot)\n"
                 "  --trace FILE      write one line per adapter call to FILE\n"
                 "  --max-clients N   clients served at once, more are refused (default 64)\n",
                 problem);
    std::exit(status);
}

Options Parse(int argc, char **argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--help" || option == "-h")
            Usage("simulated DLN adapter server", 0);
        if (i + 1 >= argc)
            Usage(("missing value after " + option).c_str());
        const char *value = argv[++i];
        if (option == "--port") {
            char *end = nullptr;
            unsigned long port = std::strtoul(value, &end, 10);
            if (*value == '\0' || *end != '\0' || port > 65535)
                Usage(("bad port " + std::string(value)).c_str());
            options.port = static_cast<uint16_t>(port);
        } else if (option == "--bind") {
            options.bind = value;
        } else if (option == "--scenario") {
            options.scenario = value;
        } else if (option == "--trace") {
            options.trace = value;
        } else if (option == "--max-clients") {
            char *end = nullptr;
            unsigned long clients = std::strtoul(value, &end, 10);
            if (*value < '0' || *value > '9' || *end != '\0' || clients < 1 || clients > 100000)
                Usage(("bad client count " + std::string(value) + " (1 to 100000)").c_str());
            options.maxClients = clients;
        } else {
            Usage(("unknown option " + option).c_str());
        }
    }
    return options;
}

// The name of a stop signal, as glibc's strsignal gives it.
const char *SignalName(int signal) {
    switch (signal) {
    case SIGINT:
        return "Interrupt";
    case SIGTERM:
        return "Terminated";
#ifdef SIGBREAK
    case SIGBREAK:
        return "Break";
#endif
    default:
        return "a signal";
    }
}

} // namespace

int main(int argc, char **argv) {
    Options options = Parse(argc, argv);

    // The stop signals are taken from here on, before any thread starts; the runtime turns
    // Ctrl-C and Ctrl-Break in a Windows console into SIGINT and SIGBREAK.
    asio::io_context signals;
    asio::signal_set stopSignals(signals, SIGINT, SIGTERM);
#ifdef SIGBREAK
    stopSignals.add(SIGBREAK);
#endif
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif

    std::shared_ptr<dlnsim::Simulator> sim;
    try {
        dlnsim::SimBuilder builder =
            options.scenario.empty()
                ? dlnsim::LoadScenario(dlnsim::DefaultScenarioText(), dlnsim::kDefaultScenarioName)
                : dlnsim::LoadScenarioFile(options.scenario);
        if (!options.trace.empty())
            builder.traceFile(options.trace);
        // Nobody reads the in-memory trace of a server; keep it from growing without end.
        builder.traceLimit(1000);
        sim = builder.build();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "dln-sim: %s\n", e.what());
        return 1;
    }

    dlnsim::Server server(sim, {}, options.maxClients);
    try {
        server.start(options.port, options.bind);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "dln-sim: %s\n", e.what());
        return 1;
    }
    bool v6 = options.bind.find(':') != std::string::npos;
    std::printf("dln-sim: listening on %s%s%s:%u\n", v6 ? "[" : "", options.bind.c_str(),
                v6 ? "]" : "", server.port());
    std::fflush(stdout);

    int signal = 0;
    stopSignals.async_wait([&signal](const asio::error_code &, int number) { signal = number; });
    signals.run();
    server.stop();
    sim->finish();
    std::fprintf(stderr, "dln-sim: stopped on %s; %llu calls failed by injected faults\n",
                 SignalName(signal), static_cast<unsigned long long>(sim->injectedFaults()));
    return 0;
}
