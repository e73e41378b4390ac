#include "boards/board_rig.h"

#include "support/fake_jni.h"

#include <algorithm>

BoardRig &BoardRig::board(uint8_t address, std::shared_ptr<dlnsim::I2cDevice> device) {
    boards_.emplace_back(address, std::move(device));
    return *this;
}

BoardRig &BoardRig::fault(const dlnsim::Fault &fault) {
    faults_.push_back(fault);
    return *this;
}

BoardRig &BoardRig::faults(const std::vector<dlnsim::Fault> &faults) {
    faults_.insert(faults_.end(), faults.begin(), faults.end());
    return *this;
}

BusRun BoardRig::run(const std::function<void()> &action) const {
    dlnsim::SimBuilder builder;
    for (const auto &[address, device] : boards_)
        builder.i2c(address, device);
    for (const dlnsim::Fault &fault : faults_)
        builder.fault(fault);
    return RunOnBus(builder.build(), action);
}

MethodCall BoardRig::call(NativeCall method, std::vector<jint> values) const {
    FakeJni jni;
    jintArray array = jni.array(std::move(values));
    MethodCall call;
    call.run = run([&] { call.result = method(jni.env(), nullptr, array); });
    call.array = jni.values(array);
    return call;
}

std::vector<jint> SlotsOf(std::initializer_list<jint> leading, jint fill) {
    std::vector<jint> slots(255, fill);
    std::copy(leading.begin(), leading.end(), slots.begin());
    return slots;
}
