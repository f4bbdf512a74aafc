// SPDX-License-Identifier: MIT
// Inspection and fault-injection API of the virtual generator.
// Exported only by the virtual variant of libvireo.so (<build>/virtual/libvireo.so).
// Tests reach it with dlopen/dlsym on the same library file the driver library
// loaded, so they see the very generator the driver talks to.
#pragma once
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Back to the power-on state: registers and sample memory cleared, default
// EEPROM image (valid calibration page), plugged in, powered on, unconfigured,
// packet size 64, no pending faults, empty request log.
void VgReset(void);

// Register file (256 registers, 16-bit values as written high byte first).
int32_t VgGetRegister(int32_t reg);
// Number of writes a register has received since the last reset.
int32_t VgGetRegisterWriteCount(int32_t reg);

// Sample memory: 16,384 words.
int32_t VgGetSampleWord(int32_t index);
// Copies min(count, 16384) words from index 0; returns the number copied.
int32_t VgCopySamples(uint16_t* dest, int32_t count);

// 512-byte EEPROM; the second page (256..511) holds the calibration image.
int32_t VgGetEEPROMByte(int32_t address);
void VgSetEEPROMByte(int32_t address, int32_t value);

// Power state as set by the power switch packet (1 on, 0 off).
int32_t VgGetPower(void);
// Device identification returned by the 0x2A query.
void VgSetDeviceId(int32_t id);

// Configuration of the programmable logic: how many were started and accepted,
// and whether the last one received arrived whole with a valid check sum.
// The count grows with every 0x20 packet; a new start clears VgIsConfigured
// until its data have arrived.
int32_t VgGetConfigurationCount(void);
int32_t VgIsConfigured(void);

// Packet size reported by request 11 (64 after reset; 0 is allowed, for tests).
void VgSetPacketSize(int32_t size);

// Fault injection. Unplugged: every request fails, and opening finds no device.
// Unplugging also makes every open handle stale: after plugging in again the
// host must USBInitDevice anew. Plugging in is a power cycle: registers, sample
// memory, pending replies and the configuration are lost, power is on; the
// EEPROM, device id, packet size, write counts and the request log remain.
void VgSetPlugged(int32_t plugged);
// The next n requests fail (any of the five), counted whatever else happens
// to them. A failed bulk write loses its data, a failed bulk read every reply
// that was waiting, a failed command request its packets.
void VgFailNextRequests(int32_t n);

// Things the generator did not understand since the last reset: unknown
// packets or query selectors, EEPROM writes without the 0x02 preamble, bulk
// writes nobody announced or whose length disagrees with the announced packet
// count, reads with too few reply bytes waiting. 0 in a sound exchange.
int32_t VgGetProtocolErrorCount(void);
// Bytes queued for the next bulk reads (4 per reply, plus FIFO read data).
int32_t VgGetPendingReadBytes(void);

// Request log: each request to the virtual device in order, with its function
// number (6, 7, 9, 10, 11), whether it succeeded, and the bytes it carried
// (6 and 7: the bytes sent; 9 and 11: the bytes returned).
int32_t VgGetRequestCount(void);
// Copies up to capacity bytes of request i into bytes; returns the request's
// full byte length, or -1 when i is out of range.
int32_t VgGetRequest(int32_t i, int32_t* function, int32_t* succeeded, uint8_t* bytes, int32_t capacity);
void VgClearRequestLog(void);

// More fault injection, for faults in the middle of an operation.
// Requests still to fail from VgFailNextRequests.
int32_t VgGetPendingFailures(void);
// The next n requests (n >= 0) are served as usual, then the device is
// unplugged as by VgSetPlugged(0): the request after them fails, and so does
// every later one until it is plugged in again. n < 0 disarms; VgReset does too.
void VgUnplugAfterRequests(int32_t n);
// Requests left before an armed unplug, -1 when none is armed.
int32_t VgGetUnplugCountdown(void);
// 1 while plugged in, 0 while unplugged.
int32_t VgIsPlugged(void);
// The next `after` requests are served as usual and the n after them fail, as
// with VgFailNextRequests (which it replaces); VgGetPendingFailures counts the n
// until they have failed.
void VgFailRequestsAfter(int32_t after, int32_t n);

#ifdef __cplusplus
}
#endif
