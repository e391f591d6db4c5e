#pragma once

#include "cli/fileimport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

/// The import summary as JSON: per file its messages, session and laps in result order,
/// then the best lap of every file that has a timed one.
class JsonReport
{
public:
    /// With channels, every lap also carries its channel values (null for missing ones).
    explicit JsonReport(bool withChannels) : m_withChannels(withChannels) {}

    QJsonDocument build(const QVector<FileImport>& files) const;

    /// Writes to the file complete or not at all; "-" is standard output.
    bool write(const QVector<FileImport>& files, const QString& path);
    QString errorString() const { return m_error; }

private:
    QJsonObject fileObject(const FileImport& file) const;
    QJsonObject lapObject(const ZEL::Lap& lap, bool fastest) const;

    bool m_withChannels;
    QString m_error;
};
