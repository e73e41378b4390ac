// The fifteen native methods in one table, each with a call that works against the default
// robot, and a run of one row against a fresh default robot. The property tests (every
// connection released, no adapter call beyond the method's own, refusal of bad arrays) and the
// fault sweep are driven by it.
#pragma once

#include "dlnsim/simulator.h"

#include <jni.h>

#include <cstdint>
#include <string>
#include <vector>

using NativeCall = jint (*)(JNIEnv *, jclass, jintArray);
using ArraylessCall = jint (*)(JNIEnv *, jclass);

// The laser's calibration and measurement make the sensor driver's register traffic, whose
// exact sequence its own tests pin down.
inline constexpr int kDriverTraffic = -1;

struct NativeMethodRow {
    const char *name = "";     // the Java name, with the laser's operation where it matters
    const char *javaName = ""; // as the method names itself in its refusal line
    NativeCall call = nullptr; // null for the two methods without an array
    ArraylessCall arrayless = nullptr;
    std::vector<jint> slots;      // a call that works against the default robot
    jsize needed = 0;             // the shortest array accepted (0: no array)
    jsize neededWhenNull = 0;     // what the refusal of a null array says is needed
    jint refusedValue = 0;        // returned for a refused array
    int adapterCalls = 0;         // of a clean run against the default robot
    bool keepsConnection = false; // the laser's connection outlives the call
    // The one line of a failed I2C transfer when the method names itself instead of the call.
    const char *transferLine = nullptr;
    std::vector<jint> laserFirst; // laser operations run (without faults) before the call
};

const std::vector<NativeMethodRow> &NativeMethodTable();

// 255 slots starting with leading, the rest 0.
std::vector<jint> LeadingSlots(std::initializer_list<jint> leading);

struct MethodRun {
    jint result = 0;
    std::string out;
    size_t before = 0; // trace entries of the laser operations run first
    std::vector<dlnsim::TraceEntry> trace;
    uint64_t injected = 0;
    bool exceptionPending = false;
};

// Runs the row's call (after its laser operations) against a fresh default robot whose waits
// advance its clock instead of sleeping, with fault injected when given. Leaves the laser's
// process-wide state as it found it. Runs in the caller's working directory (the EEPROM
// programming reads "program.hex" there).
MethodRun RunOnDefaultRobot(const NativeMethodRow &row, const dlnsim::Fault *fault = nullptr);

// Successful connects minus disconnects and successful opens minus closes, in trace order.
struct HeldResources {
    int connections = 0;
    int handles = 0;
};
HeldResources HeldAfter(const std::vector<dlnsim::TraceEntry> &trace);
