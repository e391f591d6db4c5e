#include "librarycli/libraryadder.h"

#include "library/storedfile.h"

LibraryWriter::Need LibraryAdder::check(FileFingerprint& file)
{
    const LibraryWriter::Need need = m_writer.check(file);
    if (need == LibraryWriter::Need::Unchanged)
        ++m_unchanged;
    return need;
}

bool LibraryAdder::add(const FileFingerprint& file, const FileImport& import, const FileAnalysis& analysis)
{
    QString error;
    for (const PluginMessage& message : import.messages) {
        if (message.verbose < 0)
            error = message.text.trimmed();
    }
    const StoredFile stored = StoredFile::of(file, error, analysis);
    bool alreadyStored = false;
    if (!m_writer.store(stored, alreadyStored))
        return false;
    if (alreadyStored) {
        ++m_unchanged;
    } else if (import.failed()) {
        ++m_failed;
    } else {
        ++m_added;
        m_laps += stored.laps.size();
    }
    return true;
}

QJsonObject LibraryAdder::counts() const
{
    return {{QStringLiteral("added"), m_added},
            {QStringLiteral("unchanged"), m_unchanged},
            {QStringLiteral("failed"), m_failed},
            {QStringLiteral("laps"), m_laps}};
}
