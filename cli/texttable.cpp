#include "cli/texttable.h"

#include "cli/terminaltext.h"

#include <algorithm>

TextTable::TextTable(const QStringList& headings, const QVector<Alignment>& alignments)
    : m_alignments(alignments)
{
    for (const QString& heading : headings)
        m_headings.append(TerminalText::printable(heading));
    m_alignments.resize(headings.size());
}

void TextTable::addRow(const QStringList& cells)
{
    QStringList row;
    for (const QString& cell : cells)
        row.append(TerminalText::printable(cell));
    m_rows.append(row);
}

QString TextTable::render() const
{
    QVector<int> widths(m_headings.size());
    for (int column = 0; column < m_headings.size(); ++column)
        widths[column] = m_headings.at(column).size();
    for (const QStringList& row : m_rows) {
        for (int column = 0; column < row.size() && column < widths.size(); ++column)
            widths[column] = std::max(widths.at(column), int(row.at(column).size()));
    }

    QString text = renderLine(m_headings, widths);
    QStringList rules;
    for (const int width : widths)
        rules.append(QString(width, QLatin1Char('-')));
    text += rules.join(QLatin1String("  ")) + QLatin1Char('\n');
    for (const QStringList& row : m_rows)
        text += renderLine(row, widths);
    return text;
}

QString TextTable::renderLine(const QStringList& cells, const QVector<int>& widths) const
{
    QStringList padded;
    for (int column = 0; column < widths.size(); ++column) {
        const QString cell = cells.value(column);
        padded.append(m_alignments.at(column) == Right ? cell.rightJustified(widths.at(column))
                                                       : cell.leftJustified(widths.at(column)));
    }
    // Trailing blanks of a left-aligned last column are noise in a terminal and in diffs.
    QString line = padded.join(QLatin1String("  "));
    while (line.endsWith(QLatin1Char(' ')))
        line.chop(1);
    return line + QLatin1Char('\n');
}
