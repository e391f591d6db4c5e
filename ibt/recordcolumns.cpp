#include "ibt/recordcolumns.h"

QVariant RecordColumns::decode(qint32 type, const char* element)
{
    switch (type) {
    case irsdk_char: return int(read<qint8>(element));
    case irsdk_bool: return read<quint8>(element) != 0;
    case irsdk_int:
    case irsdk_bitField: return read<qint32>(element);
    case irsdk_float: return read<float>(element);
    case irsdk_double: return read<double>(element);
    }
    return {};
}

RecordColumns::RecordColumns(const QMap<QString, Column>& byKey)
{
    m_columns.reserve(byKey.size());
    for (const Column& column : byKey) {
        m_index.insert(column.key, m_columns.size());
        m_columns.append(column);
    }
}
