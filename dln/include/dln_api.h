/* The C interface of the DLN adapter library.
 *
 * Both our own libdln (a TCP client of a DLN server such as dln-sim) and the adapter maker's
 * library meet this interface; I2C_DLN is written against it and nothing else. */
#ifndef DLN_API_H
#define DLN_API_H

#include <stdint.h>

#if defined(_WIN32)
#if defined(DLN_BUILDING_LIBRARY)
#define DLN_API __declspec(dllexport)
#else
#define DLN_API __declspec(dllimport)
#endif
#else
#define DLN_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef uint16_t DLN_RESULT; /* < 0x40 success, >= 0x40 failure */
typedef uint16_t HDLN;       /* adapter handle; 0 is never issued */

/* Result codes of our libdln. Every failure is >= 0x40. */
#define DLN_RES_SUCCESS 0x00
#define DLN_RES_NOT_CONNECTED 0x40     /* no connection to the server, or it was lost */
#define DLN_RES_INVALID_HANDLE 0x41    /* handle 0, closed, or of a closed connection */
#define DLN_RES_NO_SUCH_DEVICE 0x42    /* no adapter with that number */
#define DLN_RES_INVALID_PORT 0x43      /* no port with that number on the adapter */
#define DLN_RES_I2C_NACK 0x44          /* no device acknowledged the address */
#define DLN_RES_INVALID_ARGUMENT 0x45  /* a null pointer, a bad length or a bad host */
#define DLN_RES_TIMEOUT 0x46           /* the server did not answer in time */
#define DLN_RES_CONNECTION_FAILED 0x47 /* the server could not be reached */
#define DLN_RES_PROTOCOL_ERROR 0x48    /* the server's reply made no sense */
#define DLN_RES_PORT_DISABLED 0x49     /* the port must be enabled first */
#define DLN_RES_FAIL 0x4F              /* any other failure (also injected faults) */

#define DLN_SUCCEEDED(r) ((r) < 0x40)

typedef struct {
    uint32_t
        hardwareType; /* 0x0100 DLN-1, 0x0200 DLN-2, 0x0300 DLN-3, 0x0401 DLN-4M, 0x0402 DLN-4S */
    uint32_t hardwareVersion;
    uint32_t firmwareVersion; /* not printed by I2C_DLN */
    uint32_t serverVersion;
    uint32_t libraryVersion;
} DLN_VERSION;

DLN_API DLN_RESULT DlnConnect(const char *host, uint16_t port);
DLN_API DLN_RESULT DlnDisconnect(const char *host, uint16_t port);
DLN_API DLN_RESULT DlnOpenDevice(uint32_t deviceNumber, HDLN *handle);
DLN_API DLN_RESULT DlnCloseHandle(HDLN handle);
DLN_API DLN_RESULT DlnGetVersion(HDLN handle, DLN_VERSION *version);

DLN_API DLN_RESULT DlnI2cMasterGetPortCount(HDLN handle, uint8_t *count);
DLN_API DLN_RESULT DlnI2cMasterGetFrequency(HDLN handle, uint8_t port, uint32_t *frequency);
DLN_API DLN_RESULT DlnI2cMasterEnable(HDLN handle, uint8_t port, uint16_t *conflict);
DLN_API DLN_RESULT DlnI2cMasterScanDevices(HDLN handle, uint8_t port, uint8_t *count,
                                           uint8_t *addressList);
DLN_API DLN_RESULT DlnI2cMasterWrite(HDLN handle, uint8_t port, uint8_t slaveAddress,
                                     uint8_t memoryAddressLength, uint32_t memoryAddress,
                                     uint16_t length, const uint8_t *buffer);
DLN_API DLN_RESULT DlnI2cMasterRead(HDLN handle, uint8_t port, uint8_t slaveAddress,
                                    uint8_t memoryAddressLength, uint32_t memoryAddress,
                                    uint16_t length, uint8_t *buffer);

DLN_API DLN_RESULT DlnSpiMasterGetPortCount(HDLN handle, uint8_t *count);
DLN_API DLN_RESULT DlnSpiMasterGetFrequency(HDLN handle, uint8_t port, uint32_t *frequency);
DLN_API DLN_RESULT DlnSpiMasterEnable(HDLN handle, uint8_t port, uint16_t *conflict);
DLN_API DLN_RESULT DlnSpiMasterSetMode(HDLN handle, uint8_t port, uint8_t mode);
DLN_API DLN_RESULT DlnSpiMasterGetMode(HDLN handle, uint8_t port, uint8_t *mode);
DLN_API DLN_RESULT DlnSpiMasterSetFrequency(HDLN handle, uint8_t port, uint32_t frequency,
                                            uint32_t *actualFrequency);
DLN_API DLN_RESULT DlnSpiMasterSetSS(HDLN handle, uint8_t port, uint8_t ss);
DLN_API DLN_RESULT DlnSpiMasterReadWrite(HDLN handle, uint8_t port, uint16_t size,
                                         const uint8_t *writeBuffer, uint8_t *readBuffer);

#ifdef __cplusplus
}
#endif

#endif
