// The whole import of one file, from its first header to the final lap.

#include "ibt/importdriver.h"
#include "plugin/zelplugininterfaceimport.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace {

/// The host's side of an import: fixed names; messages go to nobody.
class FuzzHost : public ZelPluginInterfaceImport
{
public:
    QString pluginName() override { return QStringLiteral("fuzz"); }
    QString simulatorName() override { return QStringLiteral("iRacing"); }
    QString version() override { return QStringLiteral("0"); }
    QStringList formats() override { return {ImportDriver::formatFilter()}; }
    QVector<ZEL::Lap*> importFile(const QString& path, const QString& format) override
    {
        return ImportDriver(*this).importFile(path, format);
    }
};

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
