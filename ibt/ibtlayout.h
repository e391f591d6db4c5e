#pragma once

#include <cstddef>
#include <cstdint>

// The simulator's disk format, read byte for byte into these structures.
// All integers are little-endian; text fields are NUL-terminated inside their width
// (but a reader must never trust that and stop at the width).

constexpr int IRSDK_MAX_BUFS = 4;
constexpr int IRSDK_MAX_STRING = 32;
constexpr int IRSDK_MAX_DESC = 64;

enum irsdk_VarType : int32_t {
    irsdk_char = 0,     // one signed byte, whatever the count says
    irsdk_bool = 1,     // one byte, non-zero is true
    irsdk_int = 2,      // int32
    irsdk_bitField = 3, // 32 bits, read as int32
    irsdk_float = 4,    // binary32
    irsdk_double = 5,   // binary64
};

/// Bytes per element of a type code; 0 for codes that valid files never use.
inline int irsdkElementSize(int32_t type)
{
    switch (type) {
    case irsdk_char:
    case irsdk_bool: return 1;
    case irsdk_int:
    case irsdk_bitField:
    case irsdk_float: return 4;
    case irsdk_double: return 8;
    default: return 0;
    }
}

struct irsdk_varBuf {
    int32_t tickCount; // tick of the record in this buffer
    int32_t bufOffset; // where in the file the records begin
    int32_t pad[2];
};

struct irsdk_header {
    int32_t ver;               // header version
    int32_t status;            // status bit field
    int32_t tickRate;          // records per second
    int32_t sessionInfoUpdate; // session-info update counter
    int32_t sessionInfoLen;    // length of the session-info block
    int32_t sessionInfoOffset; // where the session-info block starts
    int32_t numVars;           // entries in the variable-header table
    int32_t varHeaderOffset;   // where the variable-header table starts
    int32_t numBuf;            // record buffers; only the first is read
    int32_t bufLen;            // bytes per record
    int32_t pad1[2];
    irsdk_varBuf varBuf[IRSDK_MAX_BUFS];
};

struct irsdk_diskSubHeader {
    int64_t sessionStartDate; // seconds since 1970
    double sessionStartTime;
    double sessionEndTime;
    int32_t sessionLapCount;
    int32_t sessionRecordCount;
};

struct irsdk_varHeader {
    int32_t type;       // irsdk_VarType
    int32_t offset;     // of the first element, inside a record
    int32_t count;      // elements; 1 for a scalar
    bool countAsTime;
    char pad[3];
    char name[IRSDK_MAX_STRING];
    char desc[IRSDK_MAX_DESC];
    char unit[IRSDK_MAX_STRING];
};

static_assert(sizeof(irsdk_varBuf) == 16, "irsdk_varBuf is 16 bytes on disk");
static_assert(sizeof(irsdk_header) == 112, "irsdk_header is 112 bytes on disk");
static_assert(offsetof(irsdk_header, sessionInfoLen) == 16, "irsdk_header layout");
static_assert(offsetof(irsdk_header, numVars) == 24, "irsdk_header layout");
static_assert(offsetof(irsdk_header, bufLen) == 36, "irsdk_header layout");
static_assert(offsetof(irsdk_header, varBuf) == 48, "irsdk_header layout");
static_assert(sizeof(irsdk_diskSubHeader) == 32, "irsdk_diskSubHeader is 32 bytes on disk");
static_assert(offsetof(irsdk_diskSubHeader, sessionRecordCount) == 28, "irsdk_diskSubHeader layout");
static_assert(sizeof(irsdk_varHeader) == 144, "irsdk_varHeader is 144 bytes on disk");
static_assert(offsetof(irsdk_varHeader, name) == 16, "irsdk_varHeader layout");
static_assert(offsetof(irsdk_varHeader, desc) == 48, "irsdk_varHeader layout");
static_assert(offsetof(irsdk_varHeader, unit) == 112, "irsdk_varHeader layout");
