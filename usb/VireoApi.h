// SPDX-License-Identifier: MIT
// The C interface of libvireo.so (both the hardware and the virtual variant).
// Register addresses use their low 8 bits, EEPROM addresses and register
// values their low 16 bits.
#pragma once
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*VireoFailureCallback)(int32_t);

int32_t DeviceReady(void);
int32_t USBInitDevice(void);
uint8_t* GetDriverVersion(uint8_t* DrvVersion);
void USBFlushBuffer(void);
int32_t USBConfigureFPGA(const void* data, int32_t length);
int32_t USBSingleRead(int32_t address);
void USBSingleWrite(int32_t address, int32_t data);
void USBSingleWriteWithoutFlush(int32_t address, int32_t data);
int32_t USBRollFIFORead(int32_t address, void* data, uint32_t dataamount);
int32_t USBFIFORead(int32_t address, void* data, uint32_t dataamount);
int32_t USBFIFOWrite(int32_t address, const void* data, uint32_t dataamount);
int32_t USBGetPacketSize(void);
int32_t USBReadFromEEPROM(int32_t address);
void USBWriteToEEPROM(int32_t address, int32_t data);
int32_t USBGetDeviceID(void);
void USBSetCallBackFunction(VireoFailureCallback callback);
int32_t USBGetDriverVersion(void);
int32_t USBGetPowerState(void);
void USBSetPowerOnOff(int32_t OnOff);
/* Added later (a library without it is older): what carries the requests,
   as the texts kind ("usb", "virtual") and detail (where), each written
   NUL-terminated and cut to its buffer; 1 when kind was written. */
int32_t USBDescribeTransport(char* kind, int32_t kindCapacity, char* detail, int32_t detailCapacity);

#ifdef __cplusplus
}
#endif
