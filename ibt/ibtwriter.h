#pragma once

#include "ibt/ibtlayout.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <memory>
#include <vector>

class QFile;
class QIODevice;

/// Writes .ibt files laid out as the simulator writes them: header, sub-header, variable
/// headers at 144, the session-info block, then the records back to back up to the end.
/// Records are streamed one at a time, so files of any length need one record of memory.
class IbtWriter
{
public:
    enum class Layout {
        Aligned, // every element on a multiple of its size
        Packed,  // no gaps, as the simulator's own files are laid out
    };

    explicit IbtWriter(Layout layout = Layout::Aligned);
    ~IbtWriter();
    IbtWriter(const IbtWriter&) = delete;
    IbtWriter& operator=(const IbtWriter&) = delete;

    /// Declares a variable and returns its index. Names, units and descriptions longer than
    /// their fields are cut at the field width (without a NUL). Only before open().
    int addVariable(const QByteArray& name, irsdk_VarType type, const QByteArray& unit = {},
                    const QByteArray& description = {}, int count = 1, bool countAsTime = false);
    /// Index of the first variable of that name, -1 if there is none.
    int indexOf(const QByteArray& name) const;
    int variableCount() const { return m_vars.size(); }
    /// The variable header as it is written, offset included.
    const irsdk_varHeader& variable(int index) const { return m_vars.at(index); }

    /// The session-info text; the block holds it followed by a NUL unless terminate is false.
    void setSessionInfo(const QByteArray& text, bool terminate = true);
    void setTickRate(int ticksPerSecond) { m_header.tickRate = ticksPerSecond; }
    /// Number of record buffers in the header; descriptors past the first point one record
    /// further each, so that a reader using the wrong one is caught.
    void setBufferCount(int count) { m_bufferCount = count; }
    void setSessionStartDate(qint64 secondsSince1970) { m_subHeader.sessionStartDate = secondsSince1970; }
    /// Sub-header facts that only the caller knows; written when the file is closed.
    void setSessionTimes(double start, double end);
    void setLapCount(int laps) { m_subHeader.sessionLapCount = laps; }

    /// Bytes per record: the end of the last variable.
    int recordLength() const { return int(m_record.size()); }

    /// Creates the file and writes everything up to the first record.
    bool open(const QString& path);
    /// Writes into an open, seekable device that the caller keeps owning.
    bool open(QIODevice* device);

    /// Sets element `element` of variable `var` in the pending record, converted to the
    /// variable's type: integers truncate toward zero and saturate, booleans are value != 0.
    /// An index or element out of range writes nothing.
    void setValue(int var, double value, int element = 0);
    /// Same for integer values that a double cannot carry exactly (bit fields with bit 31).
    void setInt(int var, qint32 value, int element = 0);
    /// Zeroes the pending record; values otherwise carry over from one record to the next.
    void clearRecord();
    /// Appends the pending record to the file.
    bool writeRecord();
    qint64 recordCount() const { return m_recordCount; }

    /// Patches the counts into the headers and closes what open() opened.
    bool close();
    QString errorString() const { return m_error; }

private:
    char* elementAt(int var, int element);
    bool fail(const QString& message);
    bool writeBytes(const void* data, qint64 size);

    QVector<irsdk_varHeader> m_vars;
    irsdk_header m_header;
    irsdk_diskSubHeader m_subHeader;
    QByteArray m_sessionInfo;
    std::vector<char> m_record;
    Layout m_layout;
    int m_bufferCount = 1;
    std::unique_ptr<QFile> m_ownedFile;
    QIODevice* m_device = nullptr;
    qint64 m_recordCount = 0;
    QString m_error;
};
