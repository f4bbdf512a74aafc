/* SPDX-License-Identifier: MIT */
/* A module for the tests, built against the SDK header only. Its name, key
 * and flags come from compile definitions; while it runs it hands the
 * program's request function to a handler the test installed, and it logs
 * every code the program sent. */
#include "tarn/tarnmodule.h"

#include <string.h>

#define TEST_LOG_SIZE 64

typedef void (*TTestHandler)(TTarnRequestFunc request, int32_t code, intptr_t param);

static TTarnRequestFunc requestFunc;
static TTestHandler handler;
static int32_t logCodes[TEST_LOG_SIZE];
static int32_t logCount;
static intptr_t lastParam;

static void SendText(const char* text, void* p3, void* p4)
{
    if (p4 != NULL) {
        *(int32_t*)p4 = (int32_t)strlen(text);
    }
    if (p3 != NULL) {
        memcpy(p3, text, strlen(text) + 1);
    }
}

__attribute__((visibility("default"))) void AppRequest(int32_t Code, intptr_t Param, void* P3, void* P4)
{
    if (logCount < TEST_LOG_SIZE) {
        logCodes[logCount++] = Code;
    }
    switch (Code) {
    case TARN_MODULE_NAME:
        SendText(TEST_MODULE_NAME, P3, P4);
        break;
    case TARN_MODULE_CAPTION:
        SendText(TEST_MODULE_CAPTION, P3, P4);
        break;
    case TARN_MODULE_KEY:
        *(int32_t*)P3 = TEST_MODULE_KEY;
        break;
    case TARN_MODULE_FLAGS:
        *(int32_t*)P3 = TEST_MODULE_FLAGS;
        break;
    case TARN_MODULE_SET_REQUEST:
        memcpy(&requestFunc, &P3, sizeof requestFunc);
        break;
    case TARN_MODULE_EDIT:
    case TARN_MODULE_CREATE:
        lastParam = Param;
        if (handler != NULL) {
            handler(requestFunc, Code, Param);
        }
        break;
    default:
        break;
    }
}

__attribute__((visibility("default"))) void TestModuleSetHandler(TTestHandler value)
{
    handler = value;
}

/* The codes received since the last call, and the request function kept. */
__attribute__((visibility("default"))) int32_t TestModuleTakeLog(int32_t* codes, int32_t capacity,
                                                                 TTarnRequestFunc* request)
{
    int32_t count = logCount < capacity ? logCount : capacity;
    memcpy(codes, logCodes, (size_t)count * sizeof(int32_t));
    logCount = 0;
    *request = requestFunc;
    return count;
}

__attribute__((visibility("default"))) intptr_t TestModuleLastParam(void)
{
    return lastParam;
}
