#include "debrief/setupsheet.h"

#include "cli/terminaltext.h"
#include "cli/texttable.h"

#include <QMap>

namespace {

void tree(QString& text, const QVector<CarSetup::Entry>& entries, int depth)
{
    for (const CarSetup::Entry& entry : entries) {
        text += QString(2 * depth + 2, QLatin1Char(' ')) + TerminalText::printable(entry.key);
        text += entry.children.isEmpty() ? QStringLiteral(": ") + TerminalText::printable(entry.value) + QLatin1Char('\n')
                                         : QStringLiteral("\n");
        tree(text, entry.children, depth + 1);
    }
}

/// Files of one car side by side: a row per setting, those that differ first.
QString sideBySide(const SessionAnalysis& analysis, const QVector<int>& files, const QStringList& names)
{
    QStringList settings;
    QVector<QMap<QString, QString>> values;
    for (const int f : files) {
        QMap<QString, QString> own;
        for (const auto& value : analysis.files().at(f).info.setup().values()) {
            own.insert(value.first, value.second);
            if (!settings.contains(value.first))
                settings.append(value.first);
        }
        values.append(own);
    }
    QStringList headings{QStringLiteral("Setting")};
    for (const int f : files)
        headings << names.at(f);
    TextTable differing(headings), same(headings);
    for (const QString& setting : qAsConst(settings)) {
        QStringList row{setting};
        for (const auto& own : qAsConst(values))
            row << own.value(setting, QStringLiteral("-"));
        const bool differs = std::any_of(row.cbegin() + 2, row.cend(), [&row](const QString& v) { return v != row.at(1); });
        (differs ? differing : same).addRow(row);
    }
    QString text = differing.isEmpty() ? QStringLiteral("No setting differs.\n")
                                       : QStringLiteral("Settings that differ:\n") + differing.render();
    if (!same.isEmpty())
        text += QStringLiteral("\nThe same in every file:\n") + same.render();
    return text;
}

} // namespace

QString SetupSheet::render(const SessionAnalysis& analysis, const QStringList& carNames, const QStringList& names)
{
    QString text;
    QMap<QString, QVector<int>> byCar; // files with a setup, by car
    QStringList carOrder;
    for (int f = 0; f < analysis.files().size(); ++f) {
        const CarSetup& setup = analysis.files().at(f).info.setup();
        if (setup.isEmpty()) {
            text += QStringLiteral("%1: no setup in this recording\n").arg(TerminalText::printable(names.at(f)));
            continue;
        }
        if (!byCar.contains(carNames.at(f)))
            carOrder.append(carNames.at(f));
        byCar[carNames.at(f)].append(f);
    }
    for (const QString& car : qAsConst(carOrder)) {
        const QVector<int>& files = byCar.value(car);
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        if (files.size() > 1) {
            text += QStringLiteral("Setups of the %1:\n").arg(car.isEmpty() ? QStringLiteral("car") : TerminalText::printable(car))
                    + sideBySide(analysis, files, names);
            continue;
        }
        text += QStringLiteral("Setup of %1 (%2):\n")
                    .arg(TerminalText::printable(names.at(files.first())), TerminalText::printable(car));
        tree(text, analysis.files().at(files.first()).info.setup().entries(), 0);
    }
    return text;
}
