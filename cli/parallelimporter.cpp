#include "cli/parallelimporter.h"

#include "cli/progressline.h"
#include "plugin/zelplugininterfaceimport.h"

#include <QObject>
#include <QRunnable>
#include <QThreadPool>

#include <atomic>

namespace {

// The plugin object and its emitter are shared by all threads; each message arrives through
// a direct connection on the thread that imports, so that thread's file is the sender.
thread_local FileImport* currentFile = nullptr;

} // namespace

QVector<FileImport> ParallelImporter::importAll(const QStringList& paths)
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
    std::atomic<int> done{0};
    QThreadPool pool;
    for (FileImport& file : files) {
        pool.start(QRunnable::create([this, &file, &format, &done] {
            importOne(file, format);
            ++done;
        }));
    }
    ProgressLine progress(files.size());
    while (!pool.waitForDone(100))
        progress.show(done);
    return files;
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
