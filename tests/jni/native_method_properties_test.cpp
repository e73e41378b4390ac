// Properties every native method shares, checked row by row over the table of the fifteen
// methods: a clean call makes exactly its own adapter calls and releases what it opened, and a
// null or short array is refused with one line, untouched and without adapter traffic.
#include "jni/native_method_table.h"
#include "support/captured_stdout.h"
#include "support/fake_jni.h"
#include "support/sim_session.h"
#include "support/temp_working_dir.h"

#include <gtest/gtest.h>

namespace {

TEST(NativeMethodProperties, ACleanCallMakesItsOwnAdapterCallsAndReleasesThem) {
    TempWorkingDir dir;
    dir.write("program.hex", "0 12\n1 34\n80 56\n");
    for (const NativeMethodRow &row : NativeMethodTable()) {
        SCOPED_TRACE(row.name);
        const MethodRun run = RunOnDefaultRobot(row);
        if (row.adapterCalls != kDriverTraffic) {
            EXPECT_EQ(static_cast<int>(run.trace.size() - run.before), row.adapterCalls);
        }
        EXPECT_FALSE(run.exceptionPending);
        for (size_t k = run.before; k < run.trace.size(); ++k)
            EXPECT_LT(run.trace[k].result, 0x40) << "call " << k << ": " << run.trace[k].call;
        if (!row.keepsConnection) {
            const HeldResources held = HeldAfter(run.trace);
            EXPECT_EQ(held.connections, 0) << "connections left open";
            EXPECT_EQ(held.handles, 0) << "handles left open";
        }
    }
}

TEST(NativeMethodProperties, NullAndShortArraysAreRefusedUntouchedWithoutAdapterTraffic) {
    for (const NativeMethodRow &row : NativeMethodTable()) {
        if (row.call == nullptr)
            continue;
        SCOPED_TRACE(row.name);
        SimSession session{dlnsim::SimBuilder()};
        FakeJni jni;
        std::vector<jint> shortSlots(row.slots.begin(), row.slots.begin() + row.needed - 1);
        jintArray shortArray = jni.array(shortSlots);
        jint nullResult = -1, shortResult = -1;
        std::string out = CaptureStdout([&] {
            nullResult = row.call(jni.env(), nullptr, nullptr);
            shortResult = row.call(jni.env(), nullptr, shortArray);
        });
        const std::string head = std::string(row.javaName) + ": the parameter array ";
        EXPECT_EQ(out, head + "is null; it needs at least " + std::to_string(row.neededWhenNull) +
                           " slots. Nothing done.\n" + head + "is too short; it needs at least " +
                           std::to_string(row.needed) + " slots. Nothing done.\n");
        EXPECT_EQ(nullResult, row.refusedValue);
        EXPECT_EQ(shortResult, row.refusedValue);
        EXPECT_EQ(jni.values(shortArray), shortSlots);
        EXPECT_FALSE(jni.exceptionPending);
        EXPECT_TRUE(session.calls().empty());
    }
}

} // namespace
