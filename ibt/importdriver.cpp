#include "ibt/importdriver.h"

#include "ibt/ibtreader.h"
#include "ibt/ibtsource.h"
#include "plugin/zelplugininterfaceimport.h"

#include <QElapsedTimer>

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

namespace {

// Records are read this many bytes at a time: more than the stream's own buffer, so that the C library
// reads them straight into ours.
constexpr size_t blockBytes = size_t(2) << 20;

/// Reads `count` items at `offset` into `into`, sized only once the block is known to lie in the input.
template<typename T>
bool readBlock(IbtSource& source, qint64 offset, qint64 count, std::vector<T>& into)
{
    const qint64 length = count * qint64(sizeof(T));
    if (count < 0 || !source.contains(offset, length))
        return false;
    into.resize(size_t(count));
    return source.seek(offset) && source.read(into.data(), size_t(length)) == size_t(length);
}

/// A copy of a finished lap for the result. Its channels are done growing: one left with more than
/// twice the spare room a lap starts with (it outgrew its room and doubled, or the lap was cut short)
/// gives it back, which keeps the result within a sixteenth of the size of its values. A lap a little
/// shorter than the one before keeps its room: trimming it would copy all of its values.
std::unique_ptr<ZEL::Lap> handOut(const ZEL::Lap& lap, LapBudget& budget)
{
    for (const QSharedPointer<ZEL::Channel>& channel : lap.channels()) {
        QVector<double>& values = channel->values;
        if (values.capacity() - values.size() > values.size() / (CarLapState::spareShare / 2))
            budget.squeeze(values);
    }
    budget.charge(LapBudget::lapCost + lap.values().size() * LapBudget::propertyCost);
    return std::make_unique<ZEL::Lap>(lap);
}

} // namespace

QVector<ZEL::Lap*> ImportDriver::importFile(const QString& path, const QString& format)
{
    m_plugin.emitMessage(QLatin1String("Importing file ") + path + QLatin1String(" ..."), 0);
    m_plugin.emitMessage(QLatin1String("Using format ") + format, 0);
    QElapsedTimer timer;
    timer.start();
    if (format != formatFilter()) {
        m_plugin.emitMessage(QStringLiteral("Unknown format"), -2);
        return {};
    }
    try {
        std::vector<std::unique_ptr<ZEL::Lap>> laps;
        if (!readLaps(path, laps))
            return {};
        m_plugin.emitMessage(QStringLiteral("Done in %1 ms; Laps readed %2").arg(timer.elapsed()).arg(laps.size()),
                             0);
        QVector<ZEL::Lap*> result;
        result.reserve(int(laps.size()));
        for (auto& lap : laps) {
            lap->setSimulatorName(m_plugin.simulatorName());
            lap->setPluginName(m_plugin.pluginName());
            result.append(lap.release());
        }
        return result;
    } catch (const std::bad_alloc&) {
        m_plugin.emitMessage(QStringLiteral("IBT import error:  Out of memory"), -2);
        return {};
    }
}

bool ImportDriver::readLaps(const QString& path, std::vector<std::unique_ptr<ZEL::Lap>>& laps)
{
    auto reader = std::make_unique<IbtReader>();
    reader->setFullTelemetry(true);
    reader->fastPath = m_fastPath;

    IbtSource source;
    if (!source.open(path)) {
        m_plugin.emitMessage(QLatin1String("Can't open file ") + path, -2);
        return false;
    }
    reader->budget.setLimit(LapBudget::limitFor(source.size()));

    irsdk_header header;
    if (source.read(&header, sizeof header) != sizeof header) {
        m_plugin.emitMessage(QStringLiteral("IBT import error:  Error reading irsdk_header"), -2);
        return false;
    }
    irsdk_diskSubHeader subHeader;
    if (source.read(&subHeader, sizeof subHeader) != sizeof subHeader) {
        m_plugin.emitMessage(QStringLiteral("IBT import error:  Error reading irsdk_diskSubHeader"), -2);
        return false;
    }

    // The block needs at least one byte, which becomes the text's terminating NUL.
    std::vector<char> sessionInfo;
    if (header.sessionInfoLen <= 0
        || !readBlock(source, header.sessionInfoOffset, header.sessionInfoLen, sessionInfo)) {
        m_plugin.emitMessage(QStringLiteral("IBT import error:  Failed to read sessionInfoString"), -2);
        return false;
    }
    sessionInfo.back() = '\0';
    reader->sessionInfo.parse(sessionInfo.data());
    reader->readDriverList();
    std::vector<char>().swap(sessionInfo);

    std::vector<irsdk_varHeader> varHeaders;
    if (!readBlock(source, header.varHeaderOffset, header.numVars, varHeaders)) {
        m_plugin.emitMessage(QStringLiteral("IBT import error:  Failed to read irsdk_varHeader"), -2);
        return false;
    }

    // Records are read in large blocks straight into one of two buffers and decoded where they lie.
    // The buffers take turns: the player's sample reads the last record in place up to the final lap,
    // so the next read goes to the other. The records are those the file held when it was opened: a
    // partial record at the end is left out; a record that cannot lie inside the file reads as no
    // records at all. A buffer is left unset for the read to fill, and the second is made only for a
    // second block.
    const qint32 recordOffset = header.varBuf[0].bufOffset;
    std::unique_ptr<char[]> blocks[2];
    if (header.bufLen > 0 && source.contains(recordOffset, header.bufLen) && source.seek(recordOffset)) {
        const size_t length = size_t(header.bufLen);
        const qint64 recordCount = (source.size() - recordOffset) / header.bufLen;
        reader->setRecordCount(recordCount);
        const qint64 perBlock = std::clamp<qint64>(recordCount, 1, qint64(std::max<size_t>(1, blockBytes / length)));
        int turn = 0;
        for (qint64 left = recordCount; left > 0; turn = 1 - turn) {
            if (!blocks[turn])
                blocks[turn].reset(new char[size_t(perBlock) * length]);
            const char* block = blocks[turn].get();
            const size_t wanted = size_t(std::min(left, perBlock));
            const size_t records = source.read(blocks[turn].get(), wanted * length) / length;
            for (size_t r = 0; r < records; ++r) {
                reader->endSample();
                reader->decodeRecord(header, varHeaders.data(), block + r * length);
                reader->updateLaps();
                if (reader->isPlayerLapFinished())
                    laps.push_back(handOut(reader->playerLap(), reader->budget));
            }
            reader->flushRecords();
            if (records < wanted)
                break;
            left -= qint64(records);
        }
    }
    reader->finishPlayerLap(false);
    laps.push_back(handOut(reader->playerLap(), reader->budget));
    return true;
}
