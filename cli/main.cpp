#include "cli/filenamecodec.h"
#include "cli/importcommand.h"
#include "cli/options.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>
#include <memory>
#include <new>

int main(int argc, char* argv[])
{
    FileNameCodec::install();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    Options options;
    const bool parsed = options.parse(arguments);

    // Text on a QImage needs a GUI application. The minimal platform needs no display, and with
    // enable_fonts it draws with the system's fonts; offscreen would too, but never frees its screen.
    std::unique_ptr<QCoreApplication> app;
    if (parsed && !options.plotPath.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", "minimal:enable_fonts");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("ibtimport"));

    if (!parsed) {
        QTextStream(stderr) << "ibtimport: " << options.errorString() << "\n(see ibtimport --help)\n";
        return ImportCommand::BadInput;
    }
    if (options.helpRequested)
        options.showHelp();
    try {
        return ImportCommand(options).run();
    } catch (const std::bad_alloc&) {
        // Every size is bounded by the inputs; this is the last word should the machine still run short.
        std::fflush(stdout);
        std::fputs("ibtimport: out of memory\n", stderr);
        return ImportCommand::ExportFailed;
    }
}
