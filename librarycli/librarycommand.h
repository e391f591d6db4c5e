#pragma once

#include <QJsonDocument>
#include <QString>
#include <QStringList>
#include <QTextStream>

class LapLibrary;
class Options;
class ZelPluginInterfaceImport;

/// The library's own commands: --add (store recordings), --bests and --sessions (ask).
/// Each returns an exit status of ImportCommand.
class LibraryCommand
{
public:
    /// Text goes to out, errors to err.
    LibraryCommand(const Options& options, QTextStream& out, QTextStream& err)
        : m_options(options), m_out(out), m_err(err)
    {
    }

    /// Checks every file, imports the new and changed ones in parallel and stores each as it
    /// comes, on this thread.
    int add(ZelPluginInterfaceImport& plugin, const QStringList& paths);
    int bests();
    int sessions();

private:
    bool open(LapLibrary& library);
    bool writeJson(const QJsonDocument& json);
    void error(const QString& text);

    const Options& m_options;
    QTextStream& m_out;
    QTextStream& m_err;
};
