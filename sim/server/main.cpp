// dln-sim: a DLN server simulating adapter 0 and the robot's devices.
//
//   dln-sim [--port N] [--bind ADDRESS] [--max-clients N] [--scenario FILE] [--trace FILE]
//           [--latency robot|none] [--vcd FILE] [--http PORT] [--http-public]
//           [--providers PORT]
//   dln-sim [--port N] [--bind ADDRESS] [--max-clients N] --replay FILE [--replay-lenient]
//           [--replay-stop] [--replay-loop] [--replay-timing none|recorded|recorded-gaps]
//
// A replay exits with 1 when any request mismatched the recording.
// Prints one line when it accepts connections; stops cleanly on SIGINT or SIGTERM (on Windows
// also on Ctrl-C and Ctrl-Break in its console). A build without cpp-httplib (dln-sim.exe)
// has no live page and refuses --http.
#include "dlnsim/bus_waveform.h"
#include "dlnsim/observation.h"
#include "dlnsim/providers.h"
#include "dlnsim/recent_calls.h"
#include "dlnsim/scenario.h"
#include "dlnsim/server.h"
#include "replay_sessions.h"
#ifdef DLNSIM_LIVE_PAGE
#include "live_page.h"
#endif

#include <asio.hpp>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Options {
    uint16_t port = 9656;
    std::string bind = "127.0.0.1";
    std::string scenario;
    std::string trace;
    std::string vcd;
    std::string replay;
    bool lenient = false;
    bool replayStop = false; // stop at the first mismatch
    bool replayLoop = false; // a new first client starts the recording again
    bool verbose = false;
    std::optional<dlnsim::LatencyModel> latency; // replaces the scenario's
    dlnsim::replay::Timing replayTiming = dlnsim::replay::Timing::None;
    bool replayTimingGiven = false;
    int http = -1;      // the live page's port; -1: no page
    int providers = -1; // the device providers' port; -1: none
    bool httpPublic = false;
    size_t maxClients = dlnsim::Server::kDefaultMaxClients;
};

// The live page's options are listed only where they are built in.
#ifdef DLNSIM_LIVE_PAGE
#define DLNSIM_HTTP_SYNOPSIS " [--http PORT] [--http-public]"
#define DLNSIM_HTTP_HELP                                                                           \
    "  --http PORT       serve the live page of the robot on PORT (0: a free one),\n"              \
    "                    on 127.0.0.1 only\n"                                                      \
    "  --http-public     serve the live page on the --bind address instead\n"
#else
#define DLNSIM_HTTP_SYNOPSIS ""
#define DLNSIM_HTTP_HELP ""
#endif

[[noreturn]] void Usage(const char *problem, int status = 2) {
    std::fprintf(
        status == 0 ? stdout : stderr,
        "dln-sim: %s\n"
        "usage: dln-sim [--port N] [--bind ADDRESS] [--max-clients N] [--scenario FILE]\n"
        "               [--trace FILE] [--latency robot|none] [--vcd FILE]" DLNSIM_HTTP_SYNOPSIS
        "\n"
        "               [--providers PORT]\n"
        "       dln-sim [--port N] [--bind ADDRESS] [--max-clients N] --replay FILE\n"
        "               [--replay-lenient] [--replay-stop] [--replay-loop]\n"
        "               [--replay-timing none|recorded|recorded-gaps]\n"
        "  --port N          TCP port to listen on (default 9656, 0 picks a free one)\n"
        "  --bind ADDRESS    address to listen on (default 127.0.0.1)\n"
        "  --max-clients N   clients served at once, more are refused (default 64)\n"
        "  --scenario FILE   adapter, devices and faults in JSON (default: the robot)\n"
        "  --trace FILE      write one line per adapter call to FILE\n"
        "  --latency PRESET  hold each reply as long as the robot's adapter takes\n"
        "                    (robot) or not at all (none, the default); replaces\n"
        "                    the scenario's adapter.latency\n"
        "  --vcd FILE        write the bus as a waveform (Value Change Dump) to "
        "FILE\n" DLNSIM_HTTP_HELP
        "  --providers PORT  take device providers on 127.0.0.1:PORT (0: a free one);\n"
        "                    see docs/device-providers.md\n"
        "  --verbose         also say when each client disconnects\n"
        "  --replay FILE     answer from a recording of the recording dln, in order;\n"
        "                    exits with 1 when a request mismatched\n"
        "  --replay-lenient  answer by call and arguments, whatever the order\n"
        "  --replay-stop     stop at the first mismatch\n"
        "  --replay-loop     start the recording again for each new first client\n"
        "  --replay-timing T answer at once (none, the default), after each call's\n"
        "                    recorded duration (recorded), and also no sooner after\n"
        "                    a thread's last call than recorded (recorded-gaps)\n",
        problem);
    std::exit(status);
}

Options Parse(int argc, char **argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--help" || option == "-h")
            Usage("simulated DLN adapter server", 0);
        // The options without a value.
        bool *flag = option == "--replay-lenient" ? &options.lenient
                     : option == "--http-public"  ? &options.httpPublic
                     : option == "--replay-stop"  ? &options.replayStop
                     : option == "--replay-loop"  ? &options.replayLoop
                     : option == "--verbose"      ? &options.verbose
                                                  : nullptr;
        if (flag != nullptr) {
            *flag = true;
            continue;
        }
        if (i + 1 >= argc)
            Usage(("missing value after " + option).c_str());
        const char *value = argv[++i];
        if (option == "--port" || option == "--http" || option == "--providers") {
            char *end = nullptr;
            unsigned long port = std::strtoul(value, &end, 10);
            if (*value == '\0' || *end != '\0' || port > 65535)
                Usage(("bad port " + std::string(value)).c_str());
            if (option == "--port")
                options.port = static_cast<uint16_t>(port);
            else
                (option == "--http" ? options.http : options.providers) = static_cast<int>(port);
        } else if (option == "--bind") {
            options.bind = value;
        } else if (option == "--scenario") {
            options.scenario = value;
        } else if (option == "--trace") {
            options.trace = value;
        } else if (option == "--vcd") {
            options.vcd = value;
        } else if (option == "--max-clients") {
            char *end = nullptr;
            unsigned long clients = std::strtoul(value, &end, 10);
            if (*value < '0' || *value > '9' || *end != '\0' || clients < 1 || clients > 100000)
                Usage(("bad client count " + std::string(value) + " (1 to 100000)").c_str());
            options.maxClients = clients;
        } else if (option == "--replay") {
            options.replay = value;
        } else if (option == "--latency") {
            options.latency = dlnsim::LatencyPreset(value);
            if (!options.latency)
                Usage(("bad latency " + std::string(value) + " (robot or none)").c_str());
        } else if (option == "--replay-timing") {
            using dlnsim::replay::Timing;
            std::string timing = value;
            if (timing != "none" && timing != "recorded" && timing != "recorded-gaps")
                Usage(
                    ("bad replay timing " + timing + " (none, recorded or recorded-gaps)").c_str());
            options.replayTiming = timing == "none"       ? Timing::None
                                   : timing == "recorded" ? Timing::Recorded
                                                          : Timing::RecordedGaps;
            options.replayTimingGiven = true;
        } else {
            Usage(("unknown option " + option).c_str());
        }
    }
    if ((options.lenient || options.replayStop || options.replayLoop) && options.replay.empty())
        Usage("--replay-lenient, --replay-stop and --replay-loop need --replay FILE");
    if (options.replayTimingGiven && options.replay.empty())
        Usage("--replay-timing needs --replay FILE");
    if (options.latency && !options.replay.empty())
        Usage("a replay takes its timing from the recording: --replay-timing, not --latency");
    if (!options.replay.empty() && !(options.scenario.empty() && options.trace.empty()))
        Usage("a replay answers from its recording: no --scenario or --trace with --replay");
    if (!options.replay.empty() && !options.vcd.empty())
        Usage("a replay has no simulated bus to draw: no --vcd with --replay (dln-vcd draws the "
              "recording)");
    if (!options.replay.empty() && options.http >= 0)
        Usage("a replay has no simulated robot to show: no --http with --replay");
    if (!options.replay.empty() && options.providers >= 0)
        Usage("a replay answers every transfer from its recording: no --providers with --replay");
    if (options.httpPublic && options.http < 0)
        Usage("--http-public needs --http PORT");
#ifndef DLNSIM_LIVE_PAGE
    if (options.http >= 0)
        Usage("this dln-sim was built without the live page (cpp-httplib): no --http");
#endif
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

    int signal = 0;
    stopSignals.async_wait([&signal](const asio::error_code &error, int number) {
        if (!error)
            signal = number;
    });

    // The waveforms are made once the adapter is known; no call comes before that.
    std::shared_ptr<dlnsim::BusWaveform> waveform;
    auto recent = std::make_shared<dlnsim::RecentCalls>(60000000, 200000); // the page's minute
    std::shared_ptr<dlnsim::Simulator> sim;
    std::shared_ptr<dlnsim::replay::Replay> replay;
    std::vector<std::string> notices;
    try {
        if (!options.replay.empty()) {
            // A long recording loads for a while: a stop signal ends the loading too.
            dlnsim::replay::ReadOptions reading;
            reading.cancelled = [&] {
                signals.poll();
                return signal != 0;
            };
            replay = dlnsim::replay::OpenReplay(options.replay,
                                                options.lenient ? dlnsim::replay::Mode::Lenient
                                                                : dlnsim::replay::Mode::Strict,
                                                reading, options.replayTiming);
        }
        dlnsim::SimBuilder builder =
            options.scenario.empty() ? dlnsim::LoadScenario(dlnsim::DefaultScenarioText(),
                                                            dlnsim::kDefaultScenarioName, &notices)
                                     : dlnsim::LoadScenarioFile(options.scenario, &notices);
        if (!options.trace.empty())
            builder.traceFile(options.trace);
        if (options.latency)
            builder.latency(*options.latency);
        // Nobody reads the in-memory trace of a server; keep it from growing without end.
        builder.traceLimit(1000);
        if (!options.vcd.empty())
            builder.traceSink([&waveform](const dlnsim::TraceEntry &call) { waveform->add(call); });
        if (options.http >= 0)
            builder.traceSink([recent](const dlnsim::TraceEntry &call) { recent->add(call); });
        sim = builder.build();
        if (!options.vcd.empty())
            waveform = dlnsim::BusWaveform::ToFile(
                options.vcd, dlnsim::BusWaveform::OptionsFor(sim->config(), "dln-sim"));
    } catch (const dlnsim::replay::ReadCancelled &e) {
        std::fprintf(stderr, "dln-sim: stopped on %s while loading %s\n", SignalName(signal),
                     options.replay.c_str());
        return 1;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "dln-sim: %s\n", e.what());
        return 1;
    }

    for (const std::string &notice : notices)
        std::fprintf(stderr, "dln-sim: %s\n", notice.c_str());

    // A program's every run connects and disconnects: said only when asked for.
    bool verbose = options.verbose;
    auto log = [verbose](const std::string &line) {
        if (verbose || !line.ends_with(" disconnected")) {
            std::fprintf(stderr, "%s\n", line.c_str());
            std::fflush(stderr);
        }
    };
    dlnsim::Server server(replay ? dlnsim::replay::ReplaySessions(replay, options.replayLoop)
                                 : dlnsim::Server::NewSession(
                                       [sim] { return std::make_unique<dlnsim::Session>(sim); }),
                          log, options.maxClients);
    bool stoppedAtMismatch = false;
    if (replay && options.replayStop)
        replay->onMismatch([&] {
            asio::post(signals, [&] {
                stoppedAtMismatch = true;
                stopSignals.cancel();
            });
        });
    // Providers connect before programs do, so that their devices are there from the first
    // call; they stop first, so that no program's call waits on one that is gone.
    dlnsim::ProviderServer providers(sim, log);
    try {
        if (options.providers >= 0)
            providers.start(static_cast<uint16_t>(options.providers));
        server.start(options.port, options.bind);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "dln-sim: %s\n", e.what());
        return 1;
    }
#ifdef DLNSIM_LIVE_PAGE
    // The page changes the world and shows the bus: on loopback unless asked for explicitly.
    dlnsim::LivePage page(sim, recent);
    std::string pageAddress = options.httpPublic ? options.bind : "127.0.0.1";
    if (options.http >= 0) {
        try {
            page.start(static_cast<uint16_t>(options.http), pageAddress);
        } catch (const std::exception &e) {
            std::fprintf(stderr, "dln-sim: %s\n", e.what());
            return 1;
        }
    }
#endif
    auto shown = [](const std::string &address) {
        return address.find(':') != std::string::npos ? "[" + address + "]" : address;
    };
    // Scripts wait for "listening"; tests read the port after the last colon.
    if (options.providers >= 0)
        std::printf("dln-sim: device providers on 127.0.0.1:%u\n", providers.port());
    std::string devices =
        replay ? "the recording's " + replay->describeDevices() : dlnsim::DescribeDevices(*sim);
    std::printf("dln-sim: listening on %s:%u with %s\n", shown(options.bind).c_str(), server.port(),
                devices.c_str());
#ifdef DLNSIM_LIVE_PAGE
    if (options.http >= 0)
        std::printf("dln-sim: live page on http://%s:%u/\n", shown(pageAddress).c_str(),
                    page.port());
#endif
    std::fflush(stdout);

    if (signal == 0)
        signals.run();
#ifdef DLNSIM_LIVE_PAGE
    page.stop();
#endif
    providers.stop();
    server.stop();
    sim->finish();
    if (replay) {
        std::fprintf(stderr, "%s\n", replay->summary().c_str());
        std::fprintf(stderr, "dln-sim: stopped %s\n",
                     stoppedAtMismatch ? "at the first mismatch"
                                       : (std::string("on ") + SignalName(signal)).c_str());
        return replay->anyMismatch() ? 1 : 0;
    }
    std::fprintf(stderr, "dln-sim: stopped on %s; %llu calls failed by injected faults\n",
                 SignalName(signal), static_cast<unsigned long long>(sim->injectedFaults()));
    return 0;
}
