#include "recordfile.h"

#include <QFile>

namespace {

constexpr size_t streamBuffer = 1 << 20; // as the import driver reads

} // namespace

bool RecordFile::open(const QString& path)
{
    m_file.reset(std::fopen(QFile::encodeName(path).constData(), "rb"));
    if (!m_file)
        return fail(QStringLiteral("cannot open ") + path);
    std::setvbuf(m_file.get(), nullptr, _IOFBF, streamBuffer);
    std::fseek(m_file.get(), 0, SEEK_END);
    m_size = std::ftell(m_file.get());
    std::rewind(m_file.get());
    if (std::fread(&m_header, sizeof m_header, 1, m_file.get()) != 1)
        return fail(QStringLiteral("no header"));
    // Generated files only: sizes are checked just enough not to read past the file.
    const qint64 tableBytes = qint64(m_header.numVars) * qint64(sizeof(irsdk_varHeader));
    if (m_header.numVars < 0 || m_header.bufLen <= 0 || m_header.varHeaderOffset < 0
        || m_header.varHeaderOffset + tableBytes > m_size || m_header.varBuf[0].bufOffset < 0
        || m_header.varBuf[0].bufOffset > m_size)
        return fail(QStringLiteral("implausible header"));
    m_variables.resize(size_t(m_header.numVars));
    std::fseek(m_file.get(), m_header.varHeaderOffset, SEEK_SET);
    if (std::fread(m_variables.data(), 1, size_t(tableBytes), m_file.get()) != size_t(tableBytes))
        return fail(QStringLiteral("short variable table"));
    m_record.resize(size_t(m_header.bufLen));
    std::fseek(m_file.get(), m_header.varBuf[0].bufOffset, SEEK_SET);
    return true;
}

qint64 RecordFile::recordCount() const
{
    return (m_size - m_header.varBuf[0].bufOffset) / m_header.bufLen;
}

bool RecordFile::next()
{
    return std::fread(m_record.data(), 1, m_record.size(), m_file.get()) == m_record.size();
}

bool RecordFile::fail(const QString& message)
{
    m_error = message;
    m_file.reset();
    return false;
}
