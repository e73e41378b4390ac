#include "dlnsim/models/vl53l0x_measurement.h"

#include <algorithm>
#include <cmath>

namespace dlnsim {

namespace {

constexpr uint8_t kRegSysRangeStart = 0x00;
constexpr uint8_t kRegSequenceConfig = 0x01;
constexpr uint8_t kRegRangeFractional = 0x09;
constexpr uint8_t kRegInterruptClear = 0x0B;
constexpr uint8_t kRegSpadEnables = 0xB0;   // page 0, 6 bytes
constexpr uint8_t kRegRefSignalRate = 0xB6; // page 1, 16 bits
constexpr uint8_t kRegVhvResult = 0xCB;     // page 6
constexpr uint8_t kRegPhaseResult = 0xEE;   // page 6
constexpr uint8_t kStartVhvCalibration = 0x40;
constexpr uint8_t kSequencePhaseCalibration = 0x02;
constexpr uint8_t kNewSampleReady = 0x04;
constexpr int kApertureSpadsFrom = 12;
constexpr int kRefSpadCount = 48;

enum class Kind { Ranging, VhvCalibration, PhaseCalibration };

struct Pending {
    bool active = false;
    Kind kind = Kind::Ranging;
    uint64_t readyAtUs = 0;
};

// The state the hooks share: the world and the measurement under way.
struct Measurements {
    Vl53l0x &sensor;
    std::shared_ptr<RangingWorld> world;
    std::shared_ptr<RangeLog> log;
    Pending pending;
    uint64_t count = 0; // ranging measurements completed, for the noise

    void start(uint8_t value, uint64_t nowUs);
    void completeIfDue(uint64_t nowUs);
    void finishRanging(uint64_t atUs);
    void setRefSignalRate();
    void setReg16(uint8_t page, uint8_t index, uint32_t value);
    void clearInterrupt();
};

uint16_t ToRate97(double mcps) {
    return static_cast<uint16_t>(std::clamp(std::lround(mcps * 128.0), 0L, 0xFFFFL));
}

void Measurements::setReg16(uint8_t page, uint8_t index, uint32_t value) {
    value = std::min<uint32_t>(value, 0xFFFF);
    sensor.setReg(page, index, static_cast<uint8_t>(value >> 8));
    sensor.setReg(page, static_cast<uint8_t>(index + 1), static_cast<uint8_t>(value));
}

void Measurements::clearInterrupt() {
    sensor.setReg(0, Vl53l0x::kRegInterruptStatus, 0x00);
    sensor.setReg(0, Vl53l0x::kRegRangeStatus,
                  static_cast<uint8_t>(sensor.reg(0, Vl53l0x::kRegRangeStatus) & 0xFE));
}

void Measurements::start(uint8_t value, uint64_t nowUs) {
    // The sensor takes the start bit at once; the result follows after the measurement time.
    sensor.setReg(0, kRegSysRangeStart, static_cast<uint8_t>(value & 0xFE));
    if ((value & 0x01) == 0)
        return;
    clearInterrupt();
    pending.active = true;
    uint32_t durationUs;
    if (value & kStartVhvCalibration) {
        pending.kind = Kind::VhvCalibration;
        durationUs = world->calibrationTimeUs;
    } else if (sensor.reg(0, kRegSequenceConfig) == kSequencePhaseCalibration) {
        pending.kind = Kind::PhaseCalibration;
        durationUs = world->calibrationTimeUs;
    } else {
        pending.kind = Kind::Ranging;
        durationUs =
            world->measurementTimeUs ? world->measurementTimeUs : MeasurementTimeUs(sensor);
    }
    pending.readyAtUs = nowUs + durationUs;
}

void Measurements::setRefSignalRate() {
    uint32_t rate = 0;
    for (int spad = 0; spad < kRefSpadCount; ++spad) {
        uint8_t enables = sensor.reg(0, static_cast<uint8_t>(kRegSpadEnables + spad / 8));
        if ((enables >> (spad % 8)) & 0x01)
            rate +=
                spad < kApertureSpadsFrom ? world->nonApertureSpadRate : world->apertureSpadRate;
    }
    setReg16(1, kRegRefSignalRate, rate);
}

void Measurements::finishRanging(uint64_t atUs) {
    RangingReturn ret = MeasureWorld(*world, count++, atUs);
    // With fractional ranges enabled the sensor reports quarter millimetres.
    uint32_t range = ret.rangeMm;
    if (sensor.reg(0, kRegRangeFractional) & 0x01)
        range = static_cast<uint32_t>(std::lround(ret.rangeMmExact * 4.0));
    sensor.setReg(0, Vl53l0x::kRegRangeStatus, static_cast<uint8_t>(ret.deviceStatus << 3 | 0x01));
    setReg16(0, 0x16, static_cast<uint32_t>(std::lround(world->effectiveSpads * 256.0)));
    setReg16(0, 0x1A, ToRate97(ret.signalMcps));
    setReg16(0, 0x1C, ToRate97(ret.ambientMcps));
    setReg16(0, 0x1E, range);
    setRefSignalRate();
    if (log)
        log->add({atUs, ret.rangeMm, ret.deviceStatus});
}

void Measurements::completeIfDue(uint64_t nowUs) {
    if (!pending.active || nowUs < pending.readyAtUs)
        return;
    pending.active = false;
    switch (pending.kind) {
    case Kind::Ranging:
        finishRanging(pending.readyAtUs);
        break;
    case Kind::VhvCalibration:
        sensor.setReg(6, kRegVhvResult, world->vhvSetting);
        break;
    case Kind::PhaseCalibration:
        sensor.setReg(6, kRegPhaseResult, world->phaseCal);
        break;
    }
    sensor.setReg(0, Vl53l0x::kRegInterruptStatus, kNewSampleReady);
    sensor.setReg(0, Vl53l0x::kRegRangeStatus,
                  static_cast<uint8_t>(sensor.reg(0, Vl53l0x::kRegRangeStatus) | 0x01));
}

} // namespace

void RangeLog::add(const Entry &entry) {
    entries.push_back(entry);
    ++count;
    while (entries.size() > kMaxEntries ||
           (entry.timeUs > kKeepUs && entries.front().timeUs < entry.timeUs - kKeepUs))
        entries.pop_front();
}

std::shared_ptr<RangingWorld> AddMeasurements(Vl53l0x &sensor, const RangingWorld &world,
                                              std::shared_ptr<RangeLog> log) {
    auto state = std::make_shared<Measurements>(
        Measurements{sensor, std::make_shared<RangingWorld>(world), std::move(log), {}, 0});
    sensor.onWrite(0, kRegSysRangeStart,
                   [state](uint8_t value, uint64_t nowUs) { state->start(value, nowUs); });
    sensor.onWrite(0, kRegInterruptClear, [state](uint8_t value, uint64_t) {
        if (value & 0x01)
            state->clearInterrupt();
    });
    // A finished measurement shows in the interrupt and range status registers when the
    // driver looks at them.
    for (uint8_t index : {Vl53l0x::kRegInterruptStatus, Vl53l0x::kRegRangeStatus}) {
        sensor.onRead(0, index, [state, index](uint8_t, uint64_t nowUs) {
            state->completeIfDue(nowUs);
            return state->sensor.reg(0, index);
        });
    }
    sensor.onReset([state] { state->pending = Pending{}; });
    return state->world;
}

} // namespace dlnsim
