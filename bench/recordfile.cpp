#include "recordfile.h"

bool RecordFile::open(const QString& path)
{
    // Read as the import driver reads.
    if (!m_source.open(path))
        return fail(QStringLiteral("cannot open ") + path);
    m_size = m_source.size();
    if (m_source.read(&m_header, sizeof m_header) != sizeof m_header)
        return fail(QStringLiteral("no header"));
    // Generated files only: sizes are checked just enough not to read past the file.
    const qint64 tableBytes = qint64(m_header.numVars) * qint64(sizeof(irsdk_varHeader));
    if (m_header.numVars < 0 || m_header.bufLen <= 0 || m_header.varHeaderOffset < 0
        || m_header.varHeaderOffset + tableBytes > m_size || m_header.varBuf[0].bufOffset < 0
        || m_header.varBuf[0].bufOffset > m_size)
        return fail(QStringLiteral("implausible header"));
    m_variables.resize(size_t(m_header.numVars));
    if (!m_source.seek(m_header.varHeaderOffset)
        || m_source.read(m_variables.data(), size_t(tableBytes)) != size_t(tableBytes))
        return fail(QStringLiteral("short variable table"));
    m_record.resize(size_t(m_header.bufLen));
    return m_source.seek(m_header.varBuf[0].bufOffset);
}

qint64 RecordFile::recordCount() const
{
    return (m_size - m_header.varBuf[0].bufOffset) / m_header.bufLen;
}

bool RecordFile::next()
{
    return m_source.read(m_record.data(), m_record.size()) == m_record.size();
}

bool RecordFile::fail(const QString& message)
{
    m_error = message;
    return false;
}
