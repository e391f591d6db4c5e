#pragma once

#include <QString>

/// The bundled sample: a practice session that the project's own scenario generator drives
/// and writes, so that the tool can be shown without a recording at hand.
class SampleFile
{
public:
    /// Where --demo puts it: a fixed name in the temporary folder, replaced on every run.
    static QString defaultPath();
    /// Where --demo puts the session report: beside the sample.
    static QString reportPath();

    bool write(const QString& path);
    QString errorString() const { return m_error; }

private:
    QString m_error;
};
