/*
 * The camera SDK: C-linkage calls, records and codes through which the whole system talks
 * to a tethered camera. Every call returns a 32-bit code, 0 for success; every handle is
 * released exactly once with CamRelease.
 *
 * Threading: calls may come from any thread. Property, object and state event handlers are
 * called on the SDK's own event thread, never on the caller's; a progress callback is called
 * on the thread that runs CamDownload, while it runs.
 */
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t CamError;
typedef uint32_t CamPropertyID;
typedef uint32_t CamCameraCommand;
typedef uint32_t CamCameraStatusCommand;
typedef uint32_t CamPropertyEvent;
typedef uint32_t CamObjectEvent;
typedef uint32_t CamStateEvent;
typedef uint32_t CamDataType;

/* Handles. Every handle is an opaque reference; all kinds are released with CamRelease. */
typedef struct CamObject* CamBaseRef;
typedef CamBaseRef CamCameraListRef;
typedef CamBaseRef CamCameraRef;
typedef CamBaseRef CamDirectoryItemRef;
typedef CamBaseRef CamStreamRef;
typedef CamBaseRef CamEvfImageRef;

/* ---- Error codes ------------------------------------------------------------------ */
enum {
    CAM_ERR_OK = 0x00000000,

    /* General */
    CAM_ERR_UNIMPLEMENTED = 0x00000001,
    CAM_ERR_INTERNAL_ERROR = 0x00000002,
    CAM_ERR_MEM_ALLOC_FAILED = 0x00000003,
    CAM_ERR_MEM_FREE_FAILED = 0x00000004,
    CAM_ERR_OPERATION_CANCELLED = 0x00000005,
    CAM_ERR_INCOMPATIBLE_VERSION = 0x00000006,
    CAM_ERR_NOT_SUPPORTED = 0x00000007,
    CAM_ERR_UNEXPECTED_EXCEPTION = 0x00000008,
    CAM_ERR_PROTECTION_VIOLATION = 0x00000009,
    CAM_ERR_MISSING_SUBCOMPONENT = 0x0000000A,
    CAM_ERR_SELECTION_UNAVAILABLE = 0x0000000B,

    /* File access */
    CAM_ERR_FILE_IO_ERROR = 0x00000020,
    CAM_ERR_FILE_TOO_MANY_OPEN = 0x00000021,
    CAM_ERR_FILE_NOT_FOUND = 0x00000022,
    CAM_ERR_FILE_OPEN_ERROR = 0x00000023,
    CAM_ERR_FILE_CLOSE_ERROR = 0x00000024,
    CAM_ERR_FILE_SEEK_ERROR = 0x00000025,
    CAM_ERR_FILE_TELL_ERROR = 0x00000026,
    CAM_ERR_FILE_READ_ERROR = 0x00000027,
    CAM_ERR_FILE_WRITE_ERROR = 0x00000028,
    CAM_ERR_FILE_PERMISSION_ERROR = 0x00000029,
    CAM_ERR_FILE_DISK_FULL_ERROR = 0x0000002A,
    CAM_ERR_FILE_ALREADY_EXISTS = 0x0000002B,
    CAM_ERR_FILE_FORMAT_UNRECOGNIZED = 0x0000002C,
    CAM_ERR_FILE_DATA_CORRUPT = 0x0000002D,
    CAM_ERR_FILE_NAMING_NA = 0x0000002E,

    /* Properties */
    CAM_ERR_PROPERTIES_UNAVAILABLE = 0x00000050,
    CAM_ERR_PROPERTIES_MISMATCH = 0x00000051,
    CAM_ERR_PROPERTIES_NOT_LOADED = 0x00000053,

    /* Function parameters */
    CAM_ERR_INVALID_PARAMETER = 0x00000060,
    CAM_ERR_INVALID_HANDLE = 0x00000061,
    CAM_ERR_INVALID_POINTER = 0x00000062,
    CAM_ERR_INVALID_INDEX = 0x00000063,
    CAM_ERR_INVALID_LENGTH = 0x00000064,
    CAM_ERR_INVALID_FN_POINTER = 0x00000065,
    CAM_ERR_INVALID_SORT_FN = 0x00000066,

    /* Device */
    CAM_ERR_DEVICE_NOT_FOUND = 0x00000080,
    CAM_ERR_DEVICE_BUSY = 0x00000081,
    CAM_ERR_DEVICE_INVALID = 0x00000082,
    CAM_ERR_DEVICE_EMERGENCY = 0x00000083,
    CAM_ERR_DEVICE_MEMORY_FULL = 0x00000084,
    CAM_ERR_DEVICE_INTERNAL_ERROR = 0x00000085,
    CAM_ERR_DEVICE_INVALID_PARAMETER = 0x00000086,
    CAM_ERR_DEVICE_NO_DISK = 0x00000087,
    CAM_ERR_DEVICE_DISK_ERROR = 0x00000088,
    CAM_ERR_DEVICE_CF_GATE_CHANGED = 0x00000089,
    CAM_ERR_DEVICE_DIAL_CHANGED = 0x0000008A,
    CAM_ERR_DEVICE_NOT_INSTALLED = 0x0000008B,
    CAM_ERR_DEVICE_STAY_AWAKE = 0x0000008C,
    CAM_ERR_DEVICE_NOT_RELEASED = 0x0000008D,

    /* Communication */
    CAM_ERR_COMM_PORT_IS_IN_USE = 0x000000C0,
    CAM_ERR_COMM_DISCONNECTED = 0x000000C1,
    CAM_ERR_COMM_DEVICE_INCOMPATIBLE = 0x000000C2,
    CAM_ERR_COMM_BUFFER_FULL = 0x000000C3,
    CAM_ERR_COMM_USB_BUS_ERR = 0x000000C4,

    /* Shooting */
    CAM_ERR_TAKE_PICTURE_AF_NG = 0x00008D01,
    CAM_ERR_TAKE_PICTURE_RESERVED = 0x00008D02,
    CAM_ERR_TAKE_PICTURE_MIRROR_UP_NG = 0x00008D03,
    CAM_ERR_TAKE_PICTURE_SENSOR_CLEANING_NG = 0x00008D04,
    CAM_ERR_TAKE_PICTURE_SILENCE_NG = 0x00008D05,
    CAM_ERR_TAKE_PICTURE_NO_CARD_NG = 0x00008D06,
    CAM_ERR_TAKE_PICTURE_CARD_NG = 0x00008D07,
    CAM_ERR_TAKE_PICTURE_CARD_PROTECT_NG = 0x00008D08,

    /* Session */
    CAM_ERR_SESSION_NOT_OPEN = 0x00002003,

    /* Live view */
    CAM_ERR_OBJECT_NOTREADY = 0x0000A102
};

/* ---- Property identifiers ----------------------------------------------------------- */
enum {
    CAM_PROP_PRODUCT_NAME = 0x00000002,        /* text */
    CAM_PROP_BATTERY_LEVEL = 0x00000008,       /* 32-bit */
    CAM_PROP_SAVE_TO = 0x0000000B,             /* image destination, 2 = host */
    CAM_PROP_BODY_ID = 0x00000015,             /* text */
    CAM_PROP_IMAGE_QUALITY = 0x00000100,
    CAM_PROP_WHITE_BALANCE = 0x00000106,
    CAM_PROP_COLOR_TEMPERATURE = 0x00000107,
    CAM_PROP_PICTURE_STYLE = 0x00000114,
    CAM_PROP_DRIVE_MODE = 0x00000401,
    CAM_PROP_ISO_SPEED = 0x00000402,
    CAM_PROP_METERING_MODE = 0x00000403,
    CAM_PROP_AV = 0x00000405,
    CAM_PROP_TV = 0x00000406,
    CAM_PROP_EXPOSURE_COMPENSATION = 0x00000407,
    CAM_PROP_AE_MODE = 0x00000436,
    CAM_PROP_FOCUS_INFO = 0x00000104,          /* CamFocusInfo, data type 101 */
    CAM_PROP_EVF_OUTPUT_DEVICE = 0x00000500,   /* bit set: 1 camera screen, 2 host */
    CAM_PROP_EVF_MODE = 0x00000501,
    CAM_PROP_EVF_DEPTH_OF_FIELD_PREVIEW = 0x00000504,
    CAM_PROP_EVF_ZOOM = 0x00000507,            /* 1 full view, 5 magnified */
    CAM_PROP_EVF_ZOOM_POSITION = 0x00000508,   /* CamPoint */
    CAM_PROP_EVF_IMAGE_POSITION = 0x0000050B,  /* CamPoint, read from a live-view image */
    CAM_PROP_EVF_AF_MODE = 0x0000050E,
    CAM_PROP_EVF_COORDINATE_SYSTEM = 0x00000540, /* CamSize, read from a live-view image */
    CAM_PROP_EVF_ZOOM_RECT = 0x00000541,       /* CamRect, read from a live-view image */
    CAM_PROP_TEMP_STATUS = 0x01000423,         /* raised often, of no interest to the host */
    CAM_PROP_ATTRIBUTE_CHANGE = 0x01000017,    /* raised often, of no interest to the host */

    CAM_PROP_UNKNOWN = 0x0000FFFF              /* "all shown properties" in the system's commands */
};

/* ---- Data types --------------------------------------------------------------------- */
enum {
    CAM_DATATYPE_UNKNOWN = 0,
    CAM_DATATYPE_BOOL = 1,
    CAM_DATATYPE_STRING = 2,
    CAM_DATATYPE_INT32 = 8,
    CAM_DATATYPE_UINT32 = 9,
    CAM_DATATYPE_FOCUS_INFO = 101,
    CAM_DATATYPE_POINT = 102,
    CAM_DATATYPE_SIZE = 103,
    CAM_DATATYPE_RECT = 104
};

/* ---- Events -------------------------------------------------------------------------- */
enum {
    CAM_PROPERTY_EVENT_ALL = 0x00000100,
    CAM_PROPERTY_EVENT_PROPERTY_CHANGED = 0x00000101,
    CAM_PROPERTY_EVENT_PROPERTY_DESC_CHANGED = 0x00000102,

    CAM_OBJECT_EVENT_ALL = 0x00000200,
    CAM_OBJECT_EVENT_DIR_ITEM_CREATED = 0x00000204,
    CAM_OBJECT_EVENT_DIR_ITEM_REQUEST_TRANSFER = 0x00000208,

    CAM_STATE_EVENT_ALL = 0x00000300,
    CAM_STATE_EVENT_SHUTDOWN = 0x00000301,
    CAM_STATE_EVENT_JOB_STATUS_CHANGED = 0x00000302,
    CAM_STATE_EVENT_CAPTURE_ERROR = 0x00000305
};

/* ---- Commands ------------------------------------------------------------------------ */
enum {
    CAM_COMMAND_TAKE_PICTURE = 0x00000000,
    CAM_COMMAND_PRESS_SHUTTER_BUTTON = 0x00000004,
    CAM_COMMAND_DO_EVF_AF = 0x00000102,
    CAM_COMMAND_DRIVE_LENS_EVF = 0x00000103,

    CAM_SHUTTER_BUTTON_OFF = 0x00000000,
    CAM_SHUTTER_BUTTON_HALFWAY = 0x00000001,
    CAM_SHUTTER_BUTTON_COMPLETELY = 0x00000003,
    CAM_SHUTTER_BUTTON_HALFWAY_NON_AF = 0x00010001,
    CAM_SHUTTER_BUTTON_COMPLETELY_NON_AF = 0x00010003,

    CAM_EVF_AF_OFF = 0,
    CAM_EVF_AF_ON = 1,

    CAM_DRIVE_LENS_NEAR1 = 0x00000001,
    CAM_DRIVE_LENS_NEAR2 = 0x00000002,
    CAM_DRIVE_LENS_NEAR3 = 0x00000003,
    CAM_DRIVE_LENS_FAR1 = 0x00008001,
    CAM_DRIVE_LENS_FAR2 = 0x00008002,
    CAM_DRIVE_LENS_FAR3 = 0x00008003,

    CAM_STATUS_COMMAND_UI_LOCK = 0,
    CAM_STATUS_COMMAND_UI_UNLOCK = 1
};

/* Live-view output device bits (property 0x500) and image destination (property 0xB). */
enum {
    CAM_EVF_OUTPUT_DEVICE_TFT = 1,
    CAM_EVF_OUTPUT_DEVICE_PC = 2,
    CAM_SAVE_TO_CAMERA = 1,
    CAM_SAVE_TO_HOST = 2
};

/* Stream creation and progress. */
enum {
    CAM_FILE_CREATE_DISPOSITION_CREATE_NEW = 0,
    CAM_FILE_CREATE_DISPOSITION_CREATE_ALWAYS = 1,
    CAM_FILE_CREATE_DISPOSITION_OPEN_EXISTING = 2,
    CAM_ACCESS_READ = 0,
    CAM_ACCESS_WRITE = 1,
    CAM_ACCESS_READ_WRITE = 2,
    CAM_PROGRESS_OPTION_NO_REPORT = 0,
    CAM_PROGRESS_OPTION_DONE = 1,
    CAM_PROGRESS_OPTION_PERIODICALLY = 2
};

/* ---- Records ------------------------------------------------------------------------- */
enum { CAM_MAX_NAME = 256, CAM_MAX_PROPERTY_VALUES = 128, CAM_MAX_FOCUS_POINTS = 600 };

typedef struct {
    int32_t x;
    int32_t y;
} CamPoint;

typedef struct {
    int32_t width;
    int32_t height;
} CamSize;

typedef struct {
    CamPoint point;
    CamSize size;
} CamRect;

typedef struct {
    char szPortName[CAM_MAX_NAME];
    char szDeviceDescription[CAM_MAX_NAME];
    uint32_t deviceSubType; /* 0 = older body */
    uint32_t reserved;
} CamDeviceInfo;

typedef struct {
    int32_t form;
    int32_t access;
    int32_t numElements;
    int32_t propDesc[CAM_MAX_PROPERTY_VALUES];
} CamPropertyDesc;

typedef struct {
    int32_t numberOfFreeClusters;
    int32_t bytesPerSector;
    int32_t reset;
} CamCapacity;

typedef struct {
    uint32_t valid;
    uint32_t selected;
    uint32_t justFocus;
    CamRect rect;
    uint32_t reserved;
} CamFocusPoint;

typedef struct {
    CamRect imageRect;
    uint32_t pointNumber;
    CamFocusPoint focusPoint[CAM_MAX_FOCUS_POINTS];
    uint32_t executeMode;
} CamFocusInfo;

typedef struct {
    uint64_t size;
    int32_t isFolder;
    uint32_t groupID;
    uint32_t option;
    char szFileName[CAM_MAX_NAME];
    uint32_t format;
    uint32_t dateTime;
} CamDirectoryItemInfo;

/* ---- Callbacks (each returns 0) ------------------------------------------------------ */
typedef CamError (*CamPropertyEventHandler)(CamPropertyEvent event, CamPropertyID property,
                                            uint32_t parameter, void* context);
typedef CamError (*CamObjectEventHandler)(CamObjectEvent event, CamBaseRef object, void* context);
typedef CamError (*CamStateEventHandler)(CamStateEvent event, uint32_t parameter, void* context);
typedef CamError (*CamProgressCallback)(uint32_t percent, void* context, int32_t* cancel);

/* ---- Calls --------------------------------------------------------------------------- */
CamError CamInitializeSDK(void);
CamError CamTerminateSDK(void);

/* Releases one reference. Returns CAM_ERR_INVALID_HANDLE for a handle that is not live. */
CamError CamRelease(CamBaseRef ref);

CamError CamGetCameraList(CamCameraListRef* outList);
CamError CamGetChildCount(CamBaseRef parent, int32_t* outCount);
CamError CamGetChildAtIndex(CamBaseRef parent, int32_t index, CamBaseRef* outChild);
CamError CamGetDeviceInfo(CamCameraRef camera, CamDeviceInfo* outInfo);

CamError CamOpenSession(CamCameraRef camera);
CamError CamCloseSession(CamCameraRef camera);

CamError CamGetPropertySize(CamBaseRef ref, CamPropertyID property, int32_t parameter,
                            CamDataType* outDataType, uint32_t* outSize);
CamError CamGetPropertyData(CamBaseRef ref, CamPropertyID property, int32_t parameter,
                            uint32_t size, void* outData);
CamError CamSetPropertyData(CamBaseRef ref, CamPropertyID property, int32_t parameter,
                            uint32_t size, const void* data);
CamError CamGetPropertyDesc(CamBaseRef ref, CamPropertyID property, CamPropertyDesc* outDesc);

CamError CamSendCommand(CamCameraRef camera, CamCameraCommand command, int32_t parameter);
CamError CamSendStatusCommand(CamCameraRef camera, CamCameraStatusCommand command,
                              int32_t parameter);
CamError CamSetCapacity(CamCameraRef camera, CamCapacity capacity);

/* Event handler registration. A null handler unregisters (the context is then ignored).
 * When one of these calls replaces or removes a handler, it returns only once no call of the
 * old handler is under way on the event thread, and the old handler is not called again: the
 * caller may free the old context as soon as the call returns. Called from inside the old
 * handler itself (a handler unregistering itself), the call does not wait for that call and
 * returns at once; the handler must then not use its context after it returns. The wait is for
 * the handler's own return, so a caller must not hold anything the handler waits for. */
CamError CamSetPropertyEventHandler(CamCameraRef camera, CamPropertyEvent event,
                                    CamPropertyEventHandler handler, void* context);
CamError CamSetObjectEventHandler(CamCameraRef camera, CamObjectEvent event,
                                  CamObjectEventHandler handler, void* context);
CamError CamSetCameraStateEventHandler(CamCameraRef camera, CamStateEvent event,
                                       CamStateEventHandler handler, void* context);

CamError CamGetDirectoryItemInfo(CamDirectoryItemRef item, CamDirectoryItemInfo* outInfo);
CamError CamDownload(CamDirectoryItemRef item, uint64_t size, CamStreamRef stream);
CamError CamDownloadComplete(CamDirectoryItemRef item);

CamError CamCreateFileStream(const char* fileName, uint32_t disposition, uint32_t access,
                             CamStreamRef* outStream);
CamError CamCreateMemoryStream(uint64_t initialSize, CamStreamRef* outStream);
CamError CamSetProgressCallback(CamBaseRef ref, CamProgressCallback callback, uint32_t option,
                                void* context);
CamError CamGetPointer(CamStreamRef stream, void** outPointer);
CamError CamGetLength(CamStreamRef stream, uint64_t* outLength);

CamError CamCreateEvfImageRef(CamStreamRef stream, CamEvfImageRef* outImage);
CamError CamDownloadEvfImage(CamCameraRef camera, CamEvfImageRef image);

#ifdef __cplusplus
}
#endif
