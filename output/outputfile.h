#pragma once

#include <QIODevice>
#include <QString>
#include <QStringList>

/// A file an export writes. A regular file (or a new one) is written under a hidden temporary
/// name beside it and renamed over its final name only by commit(), so that a failure leaves what
/// was there; a character device, a FIFO or standard output ("-") is written straight into and
/// never replaced. Failures keep the system's reason ("No space left on device").
class OutputFile : public QIODevice
{
public:
    explicit OutputFile(const QString& path);
    ~OutputFile() override;

    /// Opens for writing; false with errorString() set.
    bool open(OpenMode mode = WriteOnly) override;
    /// Finishes the file: flushes, and for a regular file renames it into place. False with
    /// errorString() set, the temporary file removed and the final name untouched.
    bool commit();

    bool isSequential() const override { return true; }
    /// "cannot write PATH: reason" after a failure.
    QString failure() const { return m_failure; }

    /// The input that the output names, however spelt (links, "..", hard links), or an empty
    /// string when it names none; an output that does not exist yet names no input.
    static QString inputNamedBy(const QString& output, const QStringList& inputs);

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    bool fail(int error);
    void discard();

    QString m_path;
    QString m_target;    // what the path names, links resolved
    QString m_temporary; // empty when writing straight into the target
    int m_fd = -1;
    bool m_ownsFd = false;
    QString m_failure;
};
