#include "cli/parallelimporter.h"

#include "cli/progressline.h"
#include "plugin/zelplugininterfaceimport.h"

#include <QMutex>
#include <QObject>
#include <QRunnable>
#include <QSemaphore>
#include <QThreadPool>
#include <QWaitCondition>

namespace {

// The plugin object and its emitter are shared by all threads; each message arrives through
// a direct connection on the thread that imports, so that thread's file is the sender.
thread_local FileImport* currentFile = nullptr;

} // namespace

QVector<FileImport> ParallelImporter::importAll(const QStringList& paths)
{
    QVector<FileImport> files(paths.size());
    importEach(paths, [&files](int index, FileImport& file) { files[index] = std::move(file); });
    return files;
}

void ParallelImporter::importEach(const QStringList& paths, const std::function<void(int, FileImport&)>& take)
{
    QVector<FileImport> files(paths.size());
    for (int i = 0; i < paths.size(); ++i)
        files[i].path = paths.at(i);

    QObject receiver;
    QObject::connect(&m_plugin.emitter, &ZelDataEmitter::sendMessage, &receiver,
                     [](const QString& text, int verbose) {
                         if (currentFile)
                             currentFile->messages.append({text, verbose});
                     },
                     Qt::DirectConnection);

    // The host picks the filter that matches the file; the plugin offers exactly one.
    const QString format = m_plugin.formats().value(0);
    QMutex mutex;
    QWaitCondition finished;
    QVector<int> ready;
    QThreadPool pool;
    // A slow taker holds the imports back: no more than two per thread wait for it with their laps.
    QSemaphore room(2 * pool.maxThreadCount());
    for (int i = 0; i < files.size(); ++i) {
        pool.start(QRunnable::create([this, &files, i, &format, &mutex, &finished, &ready, &room] {
            room.acquire();
            importOne(files[i], format);
            const QMutexLocker lock(&mutex);
            ready.append(i);
            finished.wakeAll();
        }));
    }
    ProgressLine progress(files.size());
    int done = 0;
    while (done < files.size()) {
        QVector<int> batch;
        {
            QMutexLocker lock(&mutex);
            if (ready.isEmpty())
                finished.wait(&mutex, 100);
            batch.swap(ready);
        }
        for (const int i : qAsConst(batch)) {
            take(i, files[i]);
            files[i] = FileImport();
            room.release();
            ++done;
        }
        progress.show(done);
    }
    pool.waitForDone();
}

void ParallelImporter::importOne(FileImport& file, const QString& format)
{
    currentFile = &file;
    const QVector<ZEL::Lap*> laps = m_plugin.importFile(file.path, format);
    currentFile = nullptr;
    file.laps.reserve(laps.size());
    for (ZEL::Lap* lap : laps)
        file.laps.append(QSharedPointer<ZEL::Lap>(lap));
}
