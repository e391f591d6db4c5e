#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

/// A set of files written beside a folder's files, in a hidden staging folder inside it, and
/// moved in only when every one is written; until then the folder is untouched, and if moving
/// in fails half-way the files it had replaced are put back. Whatever is not committed is
/// removed with the staging folder.
class StagedFiles
{
public:
    /// The folder must exist.
    explicit StagedFiles(const QString& folder);

    /// Writes one file into the staging folder; false with errorString() naming the file's
    /// final path and the system's reason.
    bool add(const QString& name, const QByteArray& content);

    /// Moves the files in, in the order they were added; false when the folder was left as it was.
    bool commit();

    QString errorString() const { return m_error; }

private:
    bool fail(const QString& action, const QString& path);
    void rollBack(int moved);

    QString m_folder;
    QTemporaryDir m_staging;
    QStringList m_names;
    QString m_error;
};
