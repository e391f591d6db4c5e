#include "support/testfiles.h"

#include <QBuffer>
#include <QFile>

namespace TestFiles {

QByteArray playerSessionInfo()
{
    return "WeekendInfo:\n"
           " TrackDisplayName: Test Ring\n"
           " TrackLength: 1.00 km\n"
           "DriverInfo:\n"
           " DriverCarIdx: 0\n"
           " Drivers:\n"
           " - CarIdx: 0\n"
           "   UserName: Test Driver\n"
           "   CarScreenName: Test Car\n"
           "SessionInfo:\n"
           " Sessions:\n"
           " - SessionNum: 0\n"
           "   SessionType: Practice\n";
}

QByteArray scenario(const ScenarioOptions& options)
{
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    Scenario scenario(options);
    if (!scenario.write(&buffer))
        qFatal("cannot write the scenario: %s", qPrintable(scenario.errorString()));
    return buffer.data();
}

QByteArray twoLapScenario()
{
    ScenarioOptions options;
    options.tickRate = 2;
    options.lapSeconds = 10.0;
    options.timedLaps = 2;
    return scenario(options);
}

QString write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QByteArray read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace TestFiles
