#pragma once

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <memory>
#include <vector>

/// The bytes of one input, read at 64-bit offsets: a regular file straight from its C stream, an
/// input that cannot seek (a pipe, a terminal, a process substitution) from a copy of it read into
/// memory once. Both answer the same calls, so every check on the file's own sizes holds for both.
class IbtSource
{
public:
    /// More than any recording holds: a stream still going past it is taken for one that never ends.
    static constexpr qint64 defaultStreamLimit = qint64(8) << 30;
    /// A stream is held in blocks of this size, so it never needs more than its own size and one block.
    static constexpr size_t streamBlock = size_t(16) << 20;

    explicit IbtSource(qint64 streamLimit = defaultStreamLimit) : m_streamLimit(streamLimit) {}

    /// False when the path does not open for reading. A stream is read to its end here; one longer
    /// than the limit, or one that memory cannot hold, throws std::bad_alloc.
    bool open(const QString& path);
    bool isInMemory() const { return m_inMemory; }
    qint64 size() const { return m_size; }

    /// Whether [offset, offset + length) lies inside the input; lengths come from the file's own
    /// header, so nothing is allocated or read before this holds.
    static bool contains(qint64 offset, qint64 length, qint64 size)
    {
        return offset >= 0 && length >= 0 && offset <= size && length <= size - offset;
    }
    bool contains(qint64 offset, qint64 length) const { return contains(offset, length, m_size); }

    /// Moves the position to offset; false outside [0, size()].
    bool seek(qint64 offset);
    /// Reads up to length bytes from the position on and moves past them; the number read.
    size_t read(void* into, size_t length);

private:
    struct FileCloser {
        void operator()(FILE* file) const { std::fclose(file); }
    };

    void readStream();

    std::unique_ptr<FILE, FileCloser> m_file;
    // The whole input when it cannot seek, in blocks of streamBlock bytes, only the last one shorter.
    std::vector<std::vector<char>> m_blocks;
    bool m_inMemory = false;
    qint64 m_size = 0;
    qint64 m_position = 0; // in the copy
    qint64 m_streamLimit;
};
