#include "adapter/spi_port.h"

std::unique_lock<std::mutex> HoldSpiPort() {
    static std::mutex port;
    return std::unique_lock<std::mutex>(port);
}
