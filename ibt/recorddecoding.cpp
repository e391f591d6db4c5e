#include "ibt/ibtreader.h"

namespace {

/// Text of a fixed-width field: up to the first NUL, never past the width.
QString fieldText(const char* field, int width)
{
    return QString::fromUtf8(field, int(qstrnlen(field, size_t(width))));
}

const QString carIndexedPrefix = QStringLiteral("caridx");

} // namespace

void IbtReader::prepareVariables(const irsdk_header& header, const irsdk_varHeader* varHeaders)
{
    varNames.reserve(header.numVars);
    varUnits.reserve(header.numVars);
    m_layout.reserve(header.numVars);
    // A later variable of the same lower-case name replaces an earlier one, as in the sample.
    QMap<QString, RecordColumns::Column> byKey;
    for (int i = 0; i < header.numVars; ++i) {
        const irsdk_varHeader& var = varHeaders[i];
        varNames.append(fieldText(var.name, IRSDK_MAX_STRING).toLower());
        varUnits.append(fieldText(var.unit, IRSDK_MAX_STRING));
        // Characters are always one element; a variable that does not fit in the record, or of
        // a type valid files never use, is skipped.
        const qint64 size = irsdkElementSize(var.type);
        const qint64 count = var.type == irsdk_char ? 1 : var.count;
        const bool fits = size > 0 && count > 0 && var.offset >= 0
                          && qint64(var.offset) + count * size <= qint64(header.bufLen);
        m_layout.append({var.type, var.offset, fits ? qint32(count) : 0});
        if (fits)
            byKey.insert(varNames.last(), {varNames.last(), varUnits.last(), var.type,
                                           qint32(var.offset + (count - 1) * size)});
    }
    // The player's sample carries the mark of full telemetry; read in place, as a column of its own.
    if (fastPath && fullTelemetry) {
        const QString key = fullTelemetryKey();
        byKey.insert(key, {key, QString(""), irsdk_int, RecordColumns::inEveryRecord, 1});
    }
    m_columns = RecordColumns(byKey);
    const auto column = [this](const char* key) { return m_columns.indexOf(QLatin1String(key)); };
    m_keyColumns = {column("sessionnum"),     column("lapdistpct"),        column("sessionstate"),
                    column("lap"),            column("isontrack"),         column("onpitroad"),
                    column("laplastlaptime"), column("lapcurrentlaptime"), column("Speed")};
}

void IbtReader::decodeRecord(const irsdk_header& header, const irsdk_varHeader* varHeaders, const char* record)
{
    if (varNames.isEmpty())
        prepareVariables(header, varHeaders);

    // Every record decodes to the same keys, so the player's sample reads this record in place.
    if (fastPath && fullTelemetry) {
        if (isCarIndex(playerCarIdx)) {
            m_columns.setRecord(record);
            cars[playerCarIdx].record = &m_columns;
        }
        return;
    }

    for (int i = 0; i < m_layout.size(); ++i) {
        const VarSlot& var = m_layout.at(i);
        if (var.count == 0)
            continue;
        const QString& name = varNames.at(i);
        const qint64 size = irsdkElementSize(var.type);
        if (fullTelemetry || !name.startsWith(carIndexedPrefix)) {
            if (!isCarIndex(playerCarIdx))
                continue;
            // Every element lands under the same key, so only the last one stays.
            const QVariant value = RecordColumns::decode(var.type, record + var.offset + (var.count - 1) * size);
            cars[playerCarIdx].sample.setValue(name, ZEL::DynamicValue(value, varUnits.at(i)));
            continue;
        }
        const QString carKey = name.mid(carIndexedPrefix.size());
        const int elements = qMin(var.count, qint32(cars.size()));
        for (int e = 0; e < elements; ++e) {
            if (e == playerCarIdx)
                continue;
            cars[e].sample.setValue(carKey,
                                    ZEL::DynamicValue(RecordColumns::decode(var.type, record + var.offset + e * size),
                                                      varUnits.at(i)));
        }
    }

    if (!fullTelemetry && isCarIndex(playerCarIdx))
        spreadSessionTime();
}

void IbtReader::spreadSessionTime()
{
    const ZEL::Sample& player = cars.at(playerCarIdx).sample;
    const ZEL::DynamicValue time = player.value(QStringLiteral("sessiontime"));
    const ZEL::DynamicValue remain = player.value(QStringLiteral("sessiontimeremain"));
    const quint64 tick = player.value(QStringLiteral("sessiontick")).value.toULongLong();
    for (int c = 0; c < cars.size(); ++c) {
        if (c == playerCarIdx)
            continue;
        cars[c].sample.setValue(QStringLiteral("sessiontime"), time.value, time.unit());
        cars[c].sample.setValue(QStringLiteral("sessiontimeremain"), remain.value, remain.unit());
        cars[c].sample.setValue(QStringLiteral("sessiontick"), tick, QString());
    }
}
