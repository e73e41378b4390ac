// In-process costs, without sockets: the marshalling of a native method through the fake
// JNIEnv, one adapter call through the in-process backend against the simulator core, and
// a whole write method on that road. The library's output goes to /dev/null; the results
// go to standard error.
#include "dln_api.h"
#include "dln_inproc.h"
#include "dlnsim/models/register_device.h"
#include "dlnsim/models/spi_eeprom.h"
#include "dlnsim/simulator.h"
#include "jni/native_method.h"
#include "support/fake_jni.h"
#include "support/jni_exports.h"
#include "support/temp_working_dir.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <iostream>
#include <vector>

namespace {

std::shared_ptr<dlnsim::Simulator> AttachRegisterDevice() {
    auto sim = dlnsim::SimBuilder()
                   .i2c(0x50, std::make_shared<dlnsim::RegisterDevice>())
                   .traceLimit(1000) // the benchmark runs far more calls than anyone reads
                   .build();
    DlnInprocAttach(sim);
    return sim;
}

jint EmptyBody(ParamSlots &slots) {
    benchmark::DoNotOptimize(slots.slot[0]);
    return 3;
}

// Copy-in of 255 slots and copy-back of 10, with a body that does nothing.
void BM_JniMarshalling(benchmark::State &state) {
    FakeJni jni;
    jintArray array = jni.array(std::vector<jint>(255, 7));
    const NativeMethod method{"bench", ArrayNeed::Full, false, false, 3, EmptyBody};
    for (auto _ : state) {
        benchmark::DoNotOptimize(RunNativeMethod(jni.env(), array, method));
        jni.calls.clear(); // the fake's own record would grow without end
    }
}
BENCHMARK(BM_JniMarshalling);

// One DlnI2cMasterWrite of one byte on an open adapter: the client tables, the wire
// encoding both ways and the simulator's dispatch with its trace entry.
void BM_InprocAdapterCall(benchmark::State &state) {
    auto sim = AttachRegisterDevice();
    HDLN handle = 0;
    if (!DLN_SUCCEEDED(DlnConnect("localhost", 9656)) ||
        !DLN_SUCCEEDED(DlnOpenDevice(0, &handle))) {
        state.SkipWithError("cannot open the in-process adapter");
        return;
    }
    const uint8_t byte = 0x10;
    for (auto _ : state)
        benchmark::DoNotOptimize(DlnI2cMasterWrite(handle, 0, 0x50, 0, 0, 1, &byte));
    DlnCloseHandle(handle);
    DlnDisconnect("localhost", 9656);
    DlnInprocDetach();
}
BENCHMARK(BM_InprocAdapterCall);

// The whole write method of one byte: marshalling, connection sequence, transfer, prints.
void BM_InprocWriteMethod(benchmark::State &state) {
    auto sim = AttachRegisterDevice();
    FakeJni jni;
    std::vector<jint> slots(255, 0);
    slots[0] = 0x50;
    slots[1] = 1;
    slots[2] = 0x10;
    jintArray array = jni.array(slots);
    for (auto _ : state) {
        benchmark::DoNotOptimize(Java_I2C_1DLN_write(jni.env(), nullptr, array));
        jni.calls.clear();
    }
    DlnInprocDetach();
}
BENCHMARK(BM_InprocWriteMethod);

// The whole 64 KiB programming without the network: what the library itself spends on
// loading program.hex, echoing it, writing zz.dat and 512 page programs.
void BM_InprocProgramEeprom64KiB(benchmark::State &state) {
    dlnsim::SpiEepromConfig chip;
    chip.programBusyReads = 0;
    auto sim = dlnsim::SimBuilder()
                   .spi(0, std::make_shared<dlnsim::SpiEeprom>(chip))
                   .traceLimit(1000)
                   .build();
    DlnInprocAttach(sim);
    TempWorkingDir dir;
    std::string hex;
    char line[16];
    for (int address = 0; address < 65536; ++address) {
        std::snprintf(line, sizeof line, "%x %x\n", address, (address * 7 + 3) & 0xFF);
        hex += line;
    }
    dir.write("program.hex", hex);
    FakeJni jni;
    jintArray array = jni.array(std::vector<jint>(255, 0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(Java_I2C_1DLN_spiProgramEEPROM(jni.env(), nullptr, array));
        jni.calls.clear();
    }
    DlnInprocDetach();
}
BENCHMARK(BM_InprocProgramEeprom64KiB)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    // The library prints on standard output as it would to a user's pipe: fully buffered.
    if (std::freopen("/dev/null", "w", stdout) == nullptr)
        return 1;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    benchmark::ConsoleReporter reporter(benchmark::ConsoleReporter::OO_None);
    reporter.SetOutputStream(&std::cerr);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
