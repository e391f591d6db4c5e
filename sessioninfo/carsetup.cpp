#include "sessioninfo/carsetup.h"

#include <QList>

namespace {

struct Line
{
    int indent;
    QString key;
    QString value;
};

// Entries at one indentation from `at` on, with the deeper lines below each as its children.
QVector<CarSetup::Entry> block(const QVector<Line>& lines, int& at, int indent)
{
    QVector<CarSetup::Entry> entries;
    while (at < lines.size() && lines.at(at).indent >= indent) {
        const Line& line = lines.at(at++);
        CarSetup::Entry entry{line.key, line.value, {}};
        if (at < lines.size() && lines.at(at).indent > line.indent)
            entry.children = block(lines, at, lines.at(at).indent);
        entries.append(entry);
    }
    return entries;
}

void flatten(const QVector<CarSetup::Entry>& entries, const QString& prefix, QVector<QPair<QString, QString>>& into)
{
    for (const CarSetup::Entry& entry : entries) {
        const QString path = prefix.isEmpty() ? entry.key : prefix + QStringLiteral(" / ") + entry.key;
        if (entry.children.isEmpty())
            into.append({path, entry.value});
        else
            flatten(entry.children, path, into);
    }
}

QJsonObject object(const QVector<CarSetup::Entry>& entries)
{
    QJsonObject json;
    for (const CarSetup::Entry& entry : entries)
        json.insert(entry.key, entry.children.isEmpty() ? QJsonValue(entry.value) : QJsonValue(object(entry.children)));
    return json;
}

} // namespace

CarSetup CarSetup::fromSessionInfo(const QByteArray& text)
{
    CarSetup setup;
    const QList<QByteArray> all = text.split('\n');
    int first = -1;
    for (int i = 0; i < all.size() && first < 0; ++i) {
        if (all.at(i).trimmed() == "CarSetup:" && !all.at(i).startsWith(' '))
            first = i + 1;
    }
    if (first < 0)
        return setup;
    QVector<Line> lines;
    for (int i = first; i < all.size(); ++i) {
        const QByteArray& raw = all.at(i);
        const QByteArray content = raw.trimmed();
        if (content.isEmpty())
            continue;
        int indent = 0;
        while (indent < raw.size() && raw.at(indent) == ' ')
            ++indent;
        if (indent == 0 || content == "...")
            break; // the next section, or the end of the text
        const int colon = content.indexOf(':');
        if (colon <= 0)
            continue;
        lines.append({indent, QString::fromLatin1(content.left(colon)).trimmed(),
                      QString::fromLatin1(content.mid(colon + 1)).trimmed()});
    }
    int at = 0;
    while (at < lines.size())
        setup.m_entries += block(lines, at, lines.at(at).indent);
    return setup;
}

QVector<QPair<QString, QString>> CarSetup::values() const
{
    QVector<QPair<QString, QString>> result;
    flatten(m_entries, QString(), result);
    return result;
}

QJsonObject CarSetup::toJson() const
{
    return object(m_entries);
}
