#include "cli/samplefile.h"

#include "scenario/scenario.h"

#include <QDir>
#include <QSaveFile>

QString SampleFile::defaultPath()
{
    return QDir::temp().filePath(QStringLiteral("ibtimport-sample.ibt"));
}

QString SampleFile::reportPath()
{
    return QDir::temp().filePath(QStringLiteral("ibtimport-sample.html"));
}

bool SampleFile::write(const QString& path)
{
    // Out of the pits, flying laps, an in-lap with a stop, a second run: every kind of lap.
    ScenarioOptions options;
    options.session = ScenarioOptions::Session::Practice;
    options.timedLaps = 4;
    options.lapSeconds = 72.0;
    options.pitStop = true;
    options.seed = 7;
    Scenario scenario(options);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        m_error = QStringLiteral("cannot write the sample to %1: %2").arg(path, file.errorString());
        return false;
    }
    if (!scenario.write(&file)) {
        m_error = QStringLiteral("cannot write the sample to %1: %2").arg(path, scenario.errorString());
        return false;
    }
    if (!file.commit()) {
        m_error = QStringLiteral("cannot write the sample to %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
