#pragma once

#include "ibt/ibtlayout.h"

#include <QByteArray>

#include <cstddef>
#include <cstring>

// Where the header fields the importer reads lie in the file.
constexpr int sessionInfoLenAt = offsetof(irsdk_header, sessionInfoLen);
constexpr int sessionInfoOffsetAt = offsetof(irsdk_header, sessionInfoOffset);
constexpr int numVarsAt = offsetof(irsdk_header, numVars);
constexpr int varHeaderOffsetAt = offsetof(irsdk_header, varHeaderOffset);
constexpr int bufLenAt = offsetof(irsdk_header, bufLen);
constexpr int bufOffsetAt = offsetof(irsdk_header, varBuf) + offsetof(irsdk_varBuf, bufOffset); // of varBuf[0]

/// The 32-bit header field at `offset` of a file at least a header long.
inline qint32 fieldOf(const QByteArray& file, int offset)
{
    qint32 value;
    std::memcpy(&value, file.constData() + offset, sizeof value);
    return value;
}

/// The file with the 32-bit header field at `offset` set to `value`.
inline QByteArray withField(QByteArray file, int offset, qint32 value)
{
    std::memcpy(file.data() + offset, &value, sizeof value);
    return file;
}
