#pragma once

#include "analysis/sessionanalysis.h"
#include "ibt/importdriver.h"
#include "model/lap.h"
#include "plugin/zelplugininterfaceimport.h"
#include "scenario/scenario.h"

#include <QPluginLoader>
#include <QSharedPointer>
#include <QString>
#include <QStringList>
#include <QVector>

/// What one importFile call gave back: the laps and everything the plugin said meanwhile.
struct ImportResult {
    QVector<QSharedPointer<ZEL::Lap>> laps; ///< owned; deleted when the result goes
    QStringList messages;                   ///< every sendMessage text, in order
    QVector<int> verbosities;               ///< the matching verbose values
};

/// Loads the built libvirad.so through QPluginLoader, exactly as the host does.
class PluginFixture
{
public:
    PluginFixture();

    bool isLoaded() const { return m_plugin != nullptr; }
    QString errorString() const { return m_error; }
    /// The interface of the loaded plugin; null when loading failed.
    ZelPluginInterfaceImport* plugin() const { return m_plugin; }
    QObject* instance() const { return m_instance; }

    /// Runs importFile with a direct receiver on sendMessage and takes ownership of the laps.
    ImportResult import(const QString& path, const QString& format = ImportDriver::formatFilter());
    /// The analysis of the file's import on its own.
    SessionAnalysis analyse(const QString& path) { return SessionAnalysis({{path, import(path).laps}}); }
    /// The analysis of the scenario's file, written for it and removed afterwards; ends the test program
    /// when the file cannot be written.
    SessionAnalysis analyse(Scenario& scenario);

private:
    // Never unloaded: the plugin object must outlive every fixture that handed it out.
    QPluginLoader m_loader;
    QObject* m_instance = nullptr;
    ZelPluginInterfaceImport* m_plugin = nullptr;
    QString m_error;
};
