/* SPDX-License-Identifier: MIT
 * (This header only; a module that includes it may carry any licence.) */
/* Tarn plug-in module interface (64-bit Linux).
 *
 * A module is a shared library in the program's "modules" folder that exports
 * AppRequest. The program calls it with the codes TARN_MODULE_* below and
 * hands it a request function (TARN_MODULE_SET_REQUEST) through which the
 * module reads and writes the waveform it works on, while it runs inside
 * TARN_MODULE_EDIT or TARN_MODULE_CREATE. Modules run in the program's
 * process with the program's rights; a module that crashes takes the program
 * with it. Self-contained: C99 or C++, no other header of the program. */
#ifndef TARN_TARNMODULE_H
#define TARN_TARNMODULE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A view of a sample buffer owned by whoever handed it out. Field order and
 * sizes are fixed: pointer, then two 32-bit integers. */
typedef struct TWaveformData {
    uint16_t* Samples;
    int32_t Count;
    int32_t Range;
} TWaveformData;

/* Booleans crossing the interface are one byte: 0 false, 1 true. */
typedef uint8_t TTarnBool;

/* The program's request function; returns 1 for a known code, else 0. */
typedef int32_t (*TTarnRequestFunc)(int32_t Code, intptr_t Param, void* P3, void* P4);

/* What a module exports under the name "AppRequest"; its result is ignored. */
typedef void (*TTarnAppRequestFunc)(int32_t Code, intptr_t Param, void* P3, void* P4);
#define TARN_MODULE_ENTRY_NAME "AppRequest"

/* Codes the program sends to AppRequest.
 * NAME, CAPTION: P4 = int32_t* receives the length in bytes (no terminator);
 *   then P3 = buffer of length + 1 bytes receives the text and a zero byte.
 * KEY: P3 = int32_t* receives the module's key.
 * FLAGS: P3 = int32_t* (preset to 0) receives TARN_FLAG_* bits.
 * SET_REQUEST: P3 = the program's TTarnRequestFunc, to keep for later calls
 *   (strict ISO C: memcpy(&func, &P3, sizeof func) rather than a cast).
 * EDIT, CREATE: Param = the main window (a QWidget*; Qt 6 Widgets modules
 *   may use it as the parent of their dialogs); return when done. */
#define TARN_MODULE_NAME 2
#define TARN_MODULE_CAPTION 3
#define TARN_MODULE_KEY 4
#define TARN_MODULE_FLAGS 5
#define TARN_MODULE_SET_REQUEST 11
#define TARN_MODULE_EDIT 12
#define TARN_MODULE_CREATE 13

/* Flags (TARN_MODULE_FLAGS). */
#define TARN_FLAG_CREATE 1    /* listed under "Create by" */
#define TARN_FLAG_EDIT 2      /* listed under "Edit by" */
#define TARN_FLAG_KEEP_DATA 4 /* the waveform's module data is not reset to this module at start */

/* Codes a module sends to the program's request function, only while inside
 * EDIT or CREATE (other calls return 0 and change nothing).
 * GET_DATA (1): P3 = TWaveformData** receives the work waveform's view; its
 *   samples may be read and overwritten in place.
 * COMMIT (2): the work waveform replaces the selected waveform of the list.
 * RESET_DATA (3): the work waveform's module data becomes this module's, empty.
 * ADD_BLOCK (4): Param = length, P3 = bytes; appended only while the module
 *   data belongs to this module; a negative length adds nothing.
 * REWIND (5): P3 = int32_t* receives 1 if the module data carries this
 *   module's key, else 0; reading starts again at the first block.
 * NEXT_BLOCK (6): P3 = const void** receives the next block, P4 = int32_t*
 *   its length; past the last block NULL and -1.
 * SAMPLE_RANGE (7): P3 = int32_t* receives the number of sample codes.
 * NEW_WAVE_DATA (8): P3 = TWaveformData* prepared by the module, P4 =
 *   TTarnBool* receives 1 when the user accepted the New-wave dialog and the
 *   program stored the waveform; Count must be 1 .. TARN_MAX_SAMPLES.
 * NEW_WAVE (9): P4 = TTarnBool* receives 1 when the user accepted the
 *   New-wave dialog; P3 = TWaveformData** receives the work waveform's view
 *   (of the chosen shape) to fill.
 * ADD_WAVE (10): the work waveform is added to the waveform list.
 * WAVE_INFO (11): Param = buffer size, P3 = buffer, P4 = int32_t* receives
 *   the needed size (text length + 1); the text "name (mode: ... - size ...)"
 *   is copied only when the buffer is large enough. */
#define TARN_REQUEST_GET_DATA 1
#define TARN_REQUEST_COMMIT 2
#define TARN_REQUEST_RESET_DATA 3
#define TARN_REQUEST_ADD_BLOCK 4
#define TARN_REQUEST_REWIND 5
#define TARN_REQUEST_NEXT_BLOCK 6
#define TARN_REQUEST_SAMPLE_RANGE 7
#define TARN_REQUEST_NEW_WAVE_DATA 8
#define TARN_REQUEST_NEW_WAVE 9
#define TARN_REQUEST_ADD_WAVE 10
#define TARN_REQUEST_WAVE_INFO 11

#define TARN_MAX_SAMPLES 16384

#ifdef __cplusplus
}
#endif

#endif /* TARN_TARNMODULE_H */
