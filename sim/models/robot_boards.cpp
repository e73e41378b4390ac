#include "robot_boards.h"

#include "dlnsim/models/adc_dac_board.h"
#include "dlnsim/models/motor_board.h"
#include "dlnsim/models/servo_board.h"
#include "dlnsim/models/ultrasonic_ranger.h"
#include "options.h"

namespace dlnsim {

namespace {
uint8_t ByteOption(const nlohmann::json &options, const char *key, uint8_t fallback) {
    return static_cast<uint8_t>(UnsignedOption(options, key, 0xFF, fallback));
}
} // namespace

std::shared_ptr<I2cDevice> MakeServoBoard(const nlohmann::json &options) {
    CheckKnownOptions(options, {"id", "current", "parameter", "pulseWidth"});
    ServoBoardConfig config;
    config.id = ByteOption(options, "id", config.id);
    config.current = ByteOption(options, "current", config.current);
    config.parameter = ByteOption(options, "parameter", config.parameter);
    config.pulseWidth =
        static_cast<uint16_t>(UnsignedOption(options, "pulseWidth", 0xFFFF, config.pulseWidth));
    return std::make_shared<ServoBoard>(config);
}

std::shared_ptr<I2cDevice> MakeAdcDacBoard(const nlohmann::json &options) {
    CheckKnownOptions(options, {"inputs", "output", "outputLoopChannel"});
    AdcDacBoardConfig config;
    if (options.contains("inputs")) {
        const std::vector<uint8_t> inputs = BytesOption(options, "inputs");
        if (inputs.size() != config.inputs.size())
            throw OptionError("inputs", "needs exactly four bytes, channel 1 first");
        std::copy(inputs.begin(), inputs.end(), config.inputs.begin());
    }
    config.output = ByteOption(options, "output", config.output);
    // An input from 1 to 4 wired to the output, or 0 for none.
    config.outputLoopChannel = static_cast<int>(UnsignedOption(options, "outputLoopChannel", 4, 0));
    return std::make_shared<AdcDacBoard>(config);
}

std::shared_ptr<I2cDevice> MakeUltrasonicRanger(const nlohmann::json &options) {
    CheckKnownOptions(options, {"temperature", "distanceCm", "measureMs"});
    UltrasonicRangerConfig config;
    config.temperature = ByteOption(options, "temperature", config.temperature);
    config.distanceCm =
        static_cast<uint16_t>(UnsignedOption(options, "distanceCm", 0xFFFF, config.distanceCm));
    config.measureMs =
        static_cast<uint32_t>(UnsignedOption(options, "measureMs", 10000, config.measureMs));
    return std::make_shared<UltrasonicRanger>(config);
}

std::shared_ptr<I2cDevice> MakeMotorBoard(const nlohmann::json &options) {
    CheckKnownOptions(options, {"speed", "parameter"});
    MotorBoardConfig config;
    config.speed = ByteOption(options, "speed", config.speed);
    config.parameter = ByteOption(options, "parameter", config.parameter);
    return std::make_shared<MotorBoard>(config);
}

} // namespace dlnsim
