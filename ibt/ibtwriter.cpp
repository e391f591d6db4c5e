#include "ibt/ibtwriter.h"

#include <QFile>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr int kHeaderVersion = 2;
constexpr int kStatusConnected = 1;
constexpr int kDefaultTickRate = 60;
constexpr int kVarHeaderOffset = int(sizeof(irsdk_header) + sizeof(irsdk_diskSubHeader));

// Copies at most the field's width; a text that fills the field gets no NUL, as the
// format allows.
template <size_t N>
void copyField(char (&field)[N], const QByteArray& text)
{
    std::memset(field, 0, N);
    std::memcpy(field, text.constData(), std::min(size_t(text.size()), N));
}

qint32 saturatedInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value <= double(std::numeric_limits<qint32>::min()))
        return std::numeric_limits<qint32>::min();
    if (value >= double(std::numeric_limits<qint32>::max()))
        return std::numeric_limits<qint32>::max();
    return static_cast<qint32>(value);
}

} // namespace

IbtWriter::IbtWriter(Layout layout) : m_layout(layout)
{
    std::memset(&m_header, 0, sizeof m_header);
    std::memset(&m_subHeader, 0, sizeof m_subHeader);
    m_header.ver = kHeaderVersion;
    m_header.status = kStatusConnected;
    m_header.tickRate = kDefaultTickRate;
}

IbtWriter::~IbtWriter()
{
    if (m_device)
        close();
}

int IbtWriter::addVariable(const QByteArray& name, irsdk_VarType type, const QByteArray& unit,
                           const QByteArray& description, int count, bool countAsTime)
{
    Q_ASSERT(!m_device);
    irsdk_varHeader var;
    std::memset(&var, 0, sizeof var);
    var.type = type;
    var.count = count;
    var.countAsTime = countAsTime;
    copyField(var.name, name);
    copyField(var.desc, description);
    copyField(var.unit, unit);

    const int size = irsdkElementSize(type);
    int offset = int(m_record.size());
    if (m_layout == Layout::Aligned && size > 1)
        offset = (offset + size - 1) / size * size;
    var.offset = offset;
    m_record.resize(size_t(offset) + size_t(size) * size_t(std::max(count, 0)), 0);
    m_vars.append(var);
    return m_vars.size() - 1;
}

int IbtWriter::indexOf(const QByteArray& name) const
{
    for (int i = 0; i < m_vars.size(); ++i) {
        const char* field = m_vars.at(i).name;
        if (QByteArray(field, int(qstrnlen(field, IRSDK_MAX_STRING))) == name)
            return i;
    }
    return -1;
}

void IbtWriter::setSessionInfo(const QByteArray& text, bool terminate)
{
    m_sessionInfo = text;
    if (terminate)
        m_sessionInfo.append('\0');
}

void IbtWriter::setSessionTimes(double start, double end)
{
    m_subHeader.sessionStartTime = start;
    m_subHeader.sessionEndTime = end;
}

bool IbtWriter::open(const QString& path)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(QStringLiteral("Cannot create %1: %2").arg(path, file->errorString()));
    if (!open(file.get()))
        return false;
    m_ownedFile = std::move(file);
    return true;
}

bool IbtWriter::open(QIODevice* device)
{
    if (m_device)
        return fail(QStringLiteral("The writer is already open"));
    if (!device || !device->isWritable())
        return fail(QStringLiteral("The device is not open for writing"));
    if (device->isSequential())
        return fail(QStringLiteral("The device cannot seek back to patch the headers"));

    const int numVars = m_vars.size();
    m_header.sessionInfoUpdate = 0;
    m_header.numVars = numVars;
    m_header.varHeaderOffset = kVarHeaderOffset;
    m_header.sessionInfoOffset = kVarHeaderOffset + numVars * int(sizeof(irsdk_varHeader));
    m_header.sessionInfoLen = m_sessionInfo.size();
    m_header.numBuf = m_bufferCount;
    m_header.bufLen = recordLength();
    const int bufOffset = m_header.sessionInfoOffset + m_header.sessionInfoLen;
    for (int i = 0; i < IRSDK_MAX_BUFS; ++i) {
        m_header.varBuf[i].tickCount = 0;
        m_header.varBuf[i].bufOffset = i < m_bufferCount ? bufOffset + i * m_header.bufLen : 0;
    }
    m_subHeader.sessionRecordCount = 0;

    m_device = device;
    m_recordCount = 0;
    m_error.clear();
    if (!device->seek(0) || !writeBytes(&m_header, sizeof m_header)
        || !writeBytes(&m_subHeader, sizeof m_subHeader)
        || !writeBytes(m_vars.constData(), qint64(numVars) * qint64(sizeof(irsdk_varHeader)))
        || !writeBytes(m_sessionInfo.constData(), m_sessionInfo.size())) {
        m_device = nullptr;
        return false;
    }
    return true;
}

char* IbtWriter::elementAt(int var, int element)
{
    if (var < 0 || var >= m_vars.size())
        return nullptr;
    const irsdk_varHeader& header = m_vars.at(var);
    if (element < 0 || element >= header.count || irsdkElementSize(header.type) == 0)
        return nullptr;
    return m_record.data() + header.offset + element * irsdkElementSize(header.type);
}

void IbtWriter::setValue(int var, double value, int element)
{
    char* target = elementAt(var, element);
    if (!target)
        return;
    switch (m_vars.at(var).type) {
    case irsdk_float: {
        const float single = float(value);
        std::memcpy(target, &single, sizeof single);
        break;
    }
    case irsdk_double:
        std::memcpy(target, &value, sizeof value);
        break;
    case irsdk_bool:
        *target = value != 0.0; // before any truncation, so that 0.2 is true
        break;
    default:
        setInt(var, saturatedInt(value), element);
    }
}

void IbtWriter::setInt(int var, qint32 value, int element)
{
    char* target = elementAt(var, element);
    if (!target)
        return;
    switch (m_vars.at(var).type) {
    case irsdk_char:
        *target = char(qBound(-128, value, 127));
        break;
    case irsdk_bool:
        *target = value != 0;
        break;
    case irsdk_int:
    case irsdk_bitField:
        std::memcpy(target, &value, sizeof value);
        break;
    default:
        setValue(var, double(value), element);
    }
}

void IbtWriter::clearRecord()
{
    std::fill(m_record.begin(), m_record.end(), 0);
}

bool IbtWriter::writeRecord()
{
    if (!m_device)
        return fail(QStringLiteral("The writer is not open"));
    if (!writeBytes(m_record.data(), qint64(m_record.size())))
        return false;
    ++m_recordCount;
    return true;
}

bool IbtWriter::close()
{
    if (!m_device)
        return fail(QStringLiteral("The writer is not open"));
    // The counts are only known now; everything else in the headers stays as written.
    m_header.varBuf[0].tickCount = int(m_recordCount);
    m_subHeader.sessionRecordCount = int(m_recordCount);
    const qint64 end = m_device->pos();
    bool ok = m_device->seek(0) && writeBytes(&m_header, sizeof m_header)
        && writeBytes(&m_subHeader, sizeof m_subHeader) && m_device->seek(end);
    if (m_ownedFile) {
        if (ok && !m_ownedFile->flush())
            ok = fail(QStringLiteral("Write failed: %1").arg(m_ownedFile->errorString()));
        m_ownedFile->close();
        m_ownedFile.reset();
    }
    m_device = nullptr;
    return ok;
}

bool IbtWriter::writeBytes(const void* data, qint64 size)
{
    if (size <= 0)
        return true;
    if (m_device->write(static_cast<const char*>(data), size) != size)
        return fail(QStringLiteral("Write failed: %1").arg(m_device->errorString()));
    return true;
}

bool IbtWriter::fail(const QString& message)
{
    m_error = message;
    return false;
}
