// The whole import of one file, from its first header to the final lap.

#include "tests/fuzz/fuzzhost.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace {

/// One in-memory file, rewritten for every input; the driver opens it by path like any other.
class MemoryFile
{
public:
    MemoryFile() : m_fd(memfd_create("fuzz.ibt", 0))
    {
        if (m_fd < 0)
            std::abort();
        m_path = QStringLiteral("/proc/self/fd/%1").arg(m_fd);
    }

    const QString& path() const { return m_path; }

    void fill(const uint8_t* data, size_t size)
    {
        if (ftruncate(m_fd, 0) != 0 || pwrite(m_fd, data, size, 0) != ssize_t(size))
            std::abort();
    }

private:
    int m_fd;
    QString m_path;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzHost host;
    static MemoryFile file;
    file.fill(data, size);
    const QVector<ZEL::Lap*> laps = host.importFile(file.path(), ImportDriver::formatFilter());
    qDeleteAll(laps);
    return 0;
}
