#include "ranging/bus/register_list.h"

#include "ranging/bus/registers.h"

SensorStatus WriteRegisterList(RangingDevice &device, std::initializer_list<RegisterWrite> writes) {
    for (const RegisterWrite &write : writes) {
        SensorStatus status = VL53L0X_WriteReg8(device, write.index, write.value);
        if (status != kSensorOk)
            return status;
    }
    return kSensorOk;
}
