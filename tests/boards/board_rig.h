// The board tests' one fixture: the boards on the bus and the faults to inject, built into a
// fresh simulator for every run. A run records the bus the way a logic analyser shows it, the
// adapter trace and what was printed; a method call also the array as Java gets it back.
#pragma once

#include "support/bus_log.h"

#include <jni.h>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

using NativeCall = jint (*)(JNIEnv *, jclass, jintArray);
// The int[] a method gets, as the tests write it.
using Slots = std::vector<jint>;

// The robot's two servo boards.
constexpr uint8_t kFirstServoBoard = 0x51;
constexpr uint8_t kSecondServoBoard = 0x52;

struct MethodCall {
    BusRun run;
    jint result = 0;
    std::vector<jint> array; // the Java array after the call
};

class BoardRig {
  public:
    BoardRig &board(uint8_t address, std::shared_ptr<dlnsim::I2cDevice> device);
    BoardRig &fault(const dlnsim::Fault &fault);
    BoardRig &faults(const std::vector<dlnsim::Fault> &faults);

    // Runs action (an operation of the boards layer) against the boards.
    BusRun run(const std::function<void()> &action) const;
    // Calls a native method with values as its array.
    MethodCall call(NativeCall method, std::vector<jint> values) const;

  private:
    std::vector<std::pair<uint8_t, std::shared_ptr<dlnsim::I2cDevice>>> boards_;
    std::vector<dlnsim::Fault> faults_;
};

// 255 slots: leading, then fill.
std::vector<jint> SlotsOf(std::initializer_list<jint> leading, jint fill = 0);
