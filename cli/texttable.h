#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

/// A plain-text table with aligned columns, for terminal output; cells are shown as
/// TerminalText::printable text.
class TextTable
{
public:
    enum Alignment { Left, Right };

    /// One heading per column; the alignments default to left.
    explicit TextTable(const QStringList& headings, const QVector<Alignment>& alignments = {});

    void addRow(const QStringList& cells);
    bool isEmpty() const { return m_rows.isEmpty(); }

    /// The heading line, a rule under it and the rows, each line ending in a newline.
    QString render() const;

private:
    QString renderLine(const QStringList& cells, const QVector<int>& widths) const;

    QStringList m_headings;
    QVector<Alignment> m_alignments;
    QVector<QStringList> m_rows;
};
