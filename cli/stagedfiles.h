#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

class QIODevice;

/// A set of files written beside a folder's files, in a hidden staging folder inside it, and
/// moved in only when every one is written; until then the folder is untouched, and if moving
/// in fails half-way the files it had replaced are put back. Whatever is not committed is
/// removed with the staging folder. A staging folder that no export holds any more (one killed
/// half-way) is removed by the next export into that folder.
class StagedFiles
{
public:
    /// The folder must exist.
    explicit StagedFiles(const QString& folder);
    ~StagedFiles();

    /// Writes one file into the staging folder; false with errorString() naming the file's
    /// final path and the system's reason.
    bool add(const QString& name, const QByteArray& content);
    /// The same, written as it goes: write() gets the open file and says whether it went well.
    bool add(const QString& name, const std::function<bool(QIODevice&)>& write);

    /// Moves the files in, in the order they were added; false when the folder was left as it was.
    bool commit();

    QString errorString() const { return m_error; }

private:
    bool fail(const QString& action, const QString& path);
    void rollBack(int moved);
    void removeAbandoned();

    QString m_folder;
    QTemporaryDir m_staging;
    QStringList m_names;
    QString m_error;
    int m_lock = -1; // held while this export runs, so that no other takes the folder for abandoned
};
