#pragma once

#include "ibt/ibtlayout.h"

#include <QHash>
#include <QMap>
#include <QString>
#include <QVariant>
#include <QVector>

#include <cstring>

/// The keys a full-telemetry record decodes to, in ascending key order, each with its unit and the
/// element its value comes from. Worked out once per file, so that the values of the current
/// record can be read in place instead of being copied into a sample map record after record.
class RecordColumns
{
public:
    struct Column {
        QString key;
        QString unit;
        qint32 type;
        qint32 offset; // of the element read, inside the record; inEveryRecord for a constant
        qint32 constant = 0;

        /// A value the import adds to every record read in place (an int, constant)
        /// rather than one read from it.
        bool isConstant() const { return offset == inEveryRecord; }
    };
    static constexpr qint32 inEveryRecord = -1;

    /// The variant a sample holds for one element; invalid for type codes valid files never use.
    static QVariant decode(qint32 type, const char* element);
    /// What decode(type, element).toDouble() gives, without the variant.
    static double decodeNumber(qint32 type, const char* element)
    {
        switch (type) {
        case irsdk_char: return number<irsdk_char>(element);
        case irsdk_bool: return number<irsdk_bool>(element);
        case irsdk_int: return number<irsdk_int>(element);
        case irsdk_bitField: return number<irsdk_bitField>(element);
        case irsdk_float: return number<irsdk_float>(element);
        case irsdk_double: return number<irsdk_double>(element);
        }
        return 0.0; // an invalid variant converts to 0
    }
    /// The same for a type known at compile time, for loops over elements of one type.
    template<qint32 Type>
    static double number(const char* element)
    {
        if constexpr (Type == irsdk_char)
            return read<qint8>(element);
        else if constexpr (Type == irsdk_bool)
            return read<quint8>(element) != 0 ? 1.0 : 0.0;
        else if constexpr (Type == irsdk_int || Type == irsdk_bitField)
            return read<qint32>(element);
        else if constexpr (Type == irsdk_float)
            return double(read<float>(element));
        else {
            static_assert(Type == irsdk_double, "a type code that valid files use");
            return read<double>(element);
        }
    }

    RecordColumns() = default;
    /// One column per key of the map, in the map's (the sample's) key order.
    explicit RecordColumns(const QMap<QString, Column>& byKey);

    int size() const { return m_columns.size(); }
    const Column& at(int column) const { return m_columns.at(column); }
    /// The column of that key, -1 when the record has none.
    int indexOf(const QString& key) const { return m_index.value(key, -1); }

    /// The record whose values are read from now on; it stays owned by the caller.
    void setRecord(const char* record) { m_record = record; }
    const char* bytes() const { return m_record; }

    QVariant value(int column) const
    {
        const Column& c = m_columns.at(column);
        return c.isConstant() ? QVariant(c.constant) : decode(c.type, m_record + c.offset);
    }

private:
    template<typename T>
    static T read(const char* element)
    {
        T value;
        std::memcpy(&value, element, sizeof value);
        return value;
    }

    QVector<Column> m_columns;  // ascending by key, the order of a sample's map
    QHash<QString, int> m_index;
    const char* m_record = nullptr;
};
