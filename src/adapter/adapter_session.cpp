#include "adapter/adapter_session.h"

#include "adapter/method_bound.h"

BusResult AdapterSession::Open(const char *host, uint16_t port) {
    Release();
    host_ = host;
    port_ = port;
    BusResult result = StepResult(BoundedCall(DlnConnect, host_.c_str(), port_), "DlnConnect");
    if (!result.ok())
        return result;
    connected_ = true;
    HDLN handle = 0;
    result = StepResult(BoundedCall(DlnOpenDevice, 0u, &handle), "DlnOpenDevice");
    if (!result.ok()) {
        Release();
        return result;
    }
    handle_ = handle;
    uint16_t conflict = 0;
    result = StepResult(BoundedCall(DlnI2cMasterEnable, handle_, kBusPort, &conflict),
                        "DlnI2cMasterEnable");
    if (!result.ok())
        Release();
    return result;
}

BusResult AdapterSession::EnableSpi() {
    if (spiEnabled_)
        return BusResult{};
    uint16_t conflict = 0;
    const BusResult result = StepResult(
        BoundedCall(DlnSpiMasterEnable, handle_, kBusPort, &conflict), "DlnSpiMasterEnable");
    spiEnabled_ = result.ok();
    return result;
}

void AdapterSession::Release() {
    if (handle_ != 0)
        DlnCloseHandle(handle_);
    if (connected_)
        DlnDisconnect(host_.c_str(), port_);
    handle_ = 0;
    connected_ = false;
    spiEnabled_ = false;
}
