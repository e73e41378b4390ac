#include "dlnsim/models/vl53l0x_world.h"

#include <algorithm>
#include <cmath>

namespace dlnsim {

namespace {

constexpr uint8_t kDeviceStatusValid = 11;
constexpr uint8_t kDeviceStatusSignalFail = 4;
constexpr uint16_t kNoTargetRangeMm = 8190;
constexpr double kLargestRangeMm = 8000.0;

// A value in [-1, 1) from the seed and the measurement number, without shared state.
double Noise(uint32_t seed, uint64_t count) {
    uint64_t x = (static_cast<uint64_t>(seed) << 32) ^ (count * 0x9E3779B97F4A7C15ull);
    x ^= x >> 33;
    x *= 0xFF51AFD7ED558CCDull;
    x ^= x >> 33;
    x *= 0xC4CEB9FE1A85EC53ull;
    x ^= x >> 33;
    return static_cast<double>(x >> 11) / static_cast<double>(1ull << 52) - 1.0;
}

} // namespace

double RangingWorld::distanceMmAt(uint64_t nowUs) const {
    if (path.empty())
        return 0;
    if (nowUs <= path.front().timeUs)
        return path.front().distanceMm;
    for (size_t i = 1; i < path.size(); ++i) {
        const Waypoint &from = path[i - 1];
        const Waypoint &to = path[i];
        if (nowUs <= to.timeUs) {
            double span = static_cast<double>(to.timeUs - from.timeUs);
            double part = span > 0 ? static_cast<double>(nowUs - from.timeUs) / span : 1.0;
            return from.distanceMm + (to.distanceMm - from.distanceMm) * part;
        }
    }
    return path.back().distanceMm;
}

RangingReturn MeasureWorld(const RangingWorld &world, uint64_t count, uint64_t nowUs) {
    RangingReturn out;
    const double distance = std::max(world.distanceMmAt(nowUs), 1.0);
    const double metres = distance / 1000.0;
    // The return falls off with the square of the distance; ambient light reflected by the
    // target fades the same way, towards a floor of a tenth of its close-range level.
    out.signalMcps = world.signalAt1mMcps * world.reflectance / (metres * metres);
    out.ambientMcps = world.ambientMcps * world.reflectance * (0.1 + 0.9 / (1.0 + metres * metres));
    if (out.signalMcps < world.minSignalMcps || distance > kLargestRangeMm) {
        out.deviceStatus = kDeviceStatusSignalFail;
        out.rangeMm = kNoTargetRangeMm;
        out.rangeMmExact = kNoTargetRangeMm;
        return out;
    }
    out.deviceStatus = kDeviceStatusValid;
    out.rangeMmExact = std::max(distance + world.noiseMm * Noise(world.noiseSeed, count), 0.0);
    out.rangeMm = static_cast<uint16_t>(std::lround(out.rangeMmExact));
    return out;
}

} // namespace dlnsim
