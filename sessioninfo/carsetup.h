#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QPair>
#include <QString>
#include <QVector>

/// The car's setup as the recording's session info gives it (its CarSetup section): sections
/// and "key: value" lines in the text's order, values as the text has them ("165 kPa").
class CarSetup
{
public:
    struct Entry
    {
        QString key;
        QString value;          // empty for a section
        QVector<Entry> children; // a section's entries
    };

    /// The setup of a whole session-info text; empty when it has none.
    static CarSetup fromSessionInfo(const QByteArray& text);

    bool isEmpty() const { return m_entries.isEmpty(); }
    const QVector<Entry>& entries() const { return m_entries; }
    /// Every value with the keys that lead to it joined by " / ", in the text's order.
    QVector<QPair<QString, QString>> values() const;
    /// Nested objects of the keys, the values as text.
    QJsonObject toJson() const;

private:
    QVector<Entry> m_entries;
};
