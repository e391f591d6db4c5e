#include "ibt/ibtsource.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <new>

#ifndef _WIN32
#include <sys/types.h>
static_assert(sizeof(off_t) == 8, "files past 2 GB need 64-bit offsets (_FILE_OFFSET_BITS=64)");
#endif

namespace {

constexpr size_t streamBuffer = 1 << 20;

// fseek and ftell take and give a long, which is 32 bits on Windows.
int seekTo(FILE* file, qint64 offset, int origin)
{
#ifdef _WIN32
    return _fseeki64(file, offset, origin);
#else
    return fseeko(file, off_t(offset), origin);
#endif
}

qint64 positionOf(FILE* file)
{
#ifdef _WIN32
    return _ftelli64(file);
#else
    return ftello(file);
#endif
}

} // namespace

bool IbtSource::open(const QString& path)
{
    m_file.reset(std::fopen(QFile::encodeName(path).constData(), "rb"));
    if (!m_file)
        return false;
    std::setvbuf(m_file.get(), nullptr, _IOFBF, streamBuffer);
    m_position = 0;
    if (seekTo(m_file.get(), 0, SEEK_END) == 0) {
        m_size = positionOf(m_file.get());
        if (m_size >= 0 && seekTo(m_file.get(), 0, SEEK_SET) == 0)
            return true;
    }
    // Nothing was read by the failed seek: the stream is still at its first byte.
    std::clearerr(m_file.get());
    readStream();
    m_file.reset();
    m_inMemory = true;
    return true;
}

void IbtSource::readStream()
{
    m_size = 0;
    for (;;) {
        std::vector<char> block(streamBlock);
        const size_t got = std::fread(block.data(), 1, block.size(), m_file.get());
        if (got == 0)
            return;
        m_size += qint64(got);
        if (m_size > m_streamLimit)
            throw std::bad_alloc();
        block.resize(got);
        m_blocks.push_back(std::move(block));
        if (got < streamBlock)
            return; // the end of the stream
    }
}

bool IbtSource::seek(qint64 offset)
{
    if (offset < 0 || offset > m_size)
        return false;
    if (!m_inMemory)
        return seekTo(m_file.get(), offset, SEEK_SET) == 0;
    m_position = offset;
    return true;
}

size_t IbtSource::read(void* into, size_t length)
{
    if (!m_inMemory)
        return std::fread(into, 1, length, m_file.get());
    size_t done = 0;
    while (done < length && m_position < m_size) {
        const std::vector<char>& block = m_blocks.at(size_t(m_position / qint64(streamBlock)));
        const size_t at = size_t(m_position % qint64(streamBlock));
        const size_t count = std::min(length - done, block.size() - at);
        std::memcpy(static_cast<char*>(into) + done, block.data() + at, count);
        done += count;
        m_position += qint64(count);
    }
    return done;
}
