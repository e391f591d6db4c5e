#include "baseline.h"

#include "ibt/recordcolumns.h"
#include "recordfile.h"
#include "stopwatch.h"


#include <vector>

namespace Baseline {

Run readRecords(const QString& path)
{
    const Stopwatch stopwatch;
    RecordFile file;
    if (!file.open(path))
        return {};
    qint64 records = 0;
    while (file.next())
        ++records;
    return {stopwatch.wallNanoseconds(), stopwatch.cpuNanoseconds(), records};
}

Run decodeColumns(const QString& path)
{
    const Stopwatch stopwatch;
    RecordFile file;
    if (!file.open(path))
        return {};
    struct Variable {
        qint32 type;
        qint32 offset; // of the last element
    };
    std::vector<Variable> variables;
    for (const irsdk_varHeader& var : file.variables()) {
        const qint64 size = irsdkElementSize(var.type);
        const qint64 count = var.type == irsdk_char ? 1 : var.count;
        if (size > 0 && count > 0 && var.offset >= 0 && var.offset + count * size <= file.header().bufLen)
            variables.push_back({var.type, qint32(var.offset + (count - 1) * size)});
    }
    std::vector<std::vector<double>> columns(variables.size());
    for (std::vector<double>& column : columns)
        column.reserve(size_t(file.recordCount()));

    qint64 values = 0;
    while (file.next()) {
        for (size_t i = 0; i < variables.size(); ++i)
            columns[i].push_back(RecordColumns::decodeNumber(variables[i].type, file.record() + variables[i].offset));
        values += qint64(variables.size());
    }
    return {stopwatch.wallNanoseconds(), stopwatch.cpuNanoseconds(), values};
}

} // namespace Baseline
