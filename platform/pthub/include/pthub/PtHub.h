/*
 * The pan-tilt hub library: six C-linkage calls that list the pan-tilt heads on the hub,
 * connect to one, move it, set its speed, read its battery voltage and close it. Every call
 * returns a signed 32-bit status, 0 for success. The file is loaded at run time by name
 * ("libPtHub.so"); callers resolve each call with dlsym.
 *
 * Threading: calls may come from any thread; the hub serializes them.
 */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Status codes ----------------------------------------------------------------- */
/* 1 is never answered by the hub: callers that load it at run time use 1 for "the library
 * or the call is not there". */
enum {
    PT_OK = 0,
    PT_ERR_INVALID_PARAMETER = 2, /* a null pointer, or a value outside the call's range */
    PT_ERR_DEVICE_NOT_FOUND = 3,  /* no device with this serial code on the hub */
    PT_ERR_INVALID_HANDLE = 4,    /* not a handle given by PT_ConnectDevice, or closed */
    PT_ERR_INTERNAL = 5           /* the hub failed inside (memory, ...) */
};

/* ---- Move directions (PT_Move) ----------------------------------------------------- */
/* One vertical and at most one horizontal bit may be combined; 0 stops the head. */
enum {
    PT_DIRECTION_STOP = 0,
    PT_DIRECTION_UP = 1,
    PT_DIRECTION_DOWN = 2,
    PT_DIRECTION_LEFT = 4,
    PT_DIRECTION_RIGHT = 8
};

/* The only third argument of PT_Move: keep moving until the next PT_Move of the device. */
#define PT_MOVE_UNTIL_STOPPED (-1)
#define PT_SPEED_MIN 0
#define PT_SPEED_MAX 1023

/* Serial codes of the devices on the hub. On success *serialCodes points to an array of
 * *count texts followed by a null pointer; the hub owns it, and it stays readable until the
 * library is unloaded. On failure *serialCodes is null and *count 0. */
int32_t PT_ListDevices(const char*** serialCodes, uint32_t* count);

/* Connects to the device with this serial code; on success *handle is a non-zero handle,
 * on failure 0. A device may be connected more than once, each time with a new handle. */
int32_t PT_ConnectDevice(const char* serialCode, int32_t* handle);

/* Releases the handle. Closing the last handle of a moving head stops it. */
int32_t PT_CloseDevice(int32_t handle);

/* Starts moving the head in `direction` (PT_DIRECTION_*) at its current speed, or stops it
 * with 0. `untilStopped` must be PT_MOVE_UNTIL_STOPPED. */
int32_t PT_Move(int32_t handle, int32_t direction, int32_t untilStopped);

/* Speed of the next moves, PT_SPEED_MIN (standing) to PT_SPEED_MAX (fastest). */
int32_t PT_SetSpeed(int32_t handle, int32_t speed);

/* Battery voltage of the head in millivolts; on failure *voltage is 0. */
int32_t PT_GetBatteryVoltage(int32_t handle, uint32_t* voltage);

#ifdef __cplusplus
}
#endif
