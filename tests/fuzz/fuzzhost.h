#pragma once

#include "ibt/importdriver.h"
#include "plugin/zelplugininterfaceimport.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

/// The host's side of an import in a fuzz target: fixed names; messages go to nobody.
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

/// The input as an in-memory file, rewritten for every input and opened by path like any other.
inline QString writeInput(const uint8_t* data, size_t size)
{
    static const int fd = memfd_create("fuzz.ibt", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        std::abort();
    return QStringLiteral("/proc/self/fd/%1").arg(fd);
}
