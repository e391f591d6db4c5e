#include "report/reportpage.h"

#include "analysis/sessionanalysis.h"
#include "output/outputfile.h"
#include "report/sessiontraces.h"

#include <QFile>

#include <algorithm>
#include <numeric>

namespace {

// The whole page stays under 6 MB: its traces get what the template, scripts, styles and summary
// leave of this, which keeps room for what a budget cannot shrink (a lap on the coarsest grid), and
// no more than the second, which a long session needs and a browser shows in under a second.
constexpr qint64 pageBudget = 5800000;
constexpr qint64 tracesBudget = 4500000;

/// What a file's traces would hold at full resolution, to hand the budget out smallest first.
qint64 tracesNeed(const FileAnalysis& file)
{
    qint64 values = 0;
    for (const LapAnalysis& lap : file.laps)
        values += qint64(lap.aligned.size()) * lap.lap->channels().size();
    return values;
}

QByteArray resource(const QString& name)
{
    QFile file(QStringLiteral(":/report/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// The library as shipped starts with a banner that links to its home page; the page carries no
/// links, so the banner gives way to the licence text.
QByteArray libraryScript()
{
    QByteArray script = resource(QStringLiteral("uPlot.iife.min.js"));
    if (script.startsWith("/*!"))
        script.remove(0, script.indexOf("*/") + 2);
    QByteArray licence = resource(QStringLiteral("uPlot.LICENSE"));
    licence.replace("*/", "* /");
    return "/* uPlot " + resource(QStringLiteral("uPlot.version")).trimmed() + "\n" + licence + "*/\n" + script;
}

/// The page's script, a file per concern in one shared scope: what the others use first, the file
/// that starts the page last.
QByteArray pageScript()
{
    static const char* const parts[] = {"format", "state", "colours", "grid", "laptable", "charts", "readout",
                                        "map", "corners", "gg", "setup", "ticking", "start"};
    QByteArray script;
    for (const char* part : parts)
        script += resource(QStringLiteral("page/%1.js").arg(QLatin1String(part))) + '\n';
    return script;
}

/// Text that closes no element when placed inside a script or style element.
QByteArray inert(QByteArray text)
{
    return text.replace("</", "<\\/");
}

void fill(QByteArray& page, const char* mark, const QByteArray& text)
{
    const int at = page.indexOf(mark);
    if (at >= 0)
        page.replace(at, int(qstrlen(mark)), text);
}

} // namespace

QByteArray ReportPage::html(const QByteArray& summary, const SessionAnalysis& analysis)
{
    Q_INIT_RESOURCE(report);
    QByteArray data = summary;
    data.replace('<', "\\u003c");
    // JSON elements rather than a script literal: the browser parses megabytes of JSON faster.
    QByteArray elements = "<script type=\"application/json\" id=\"report-summary\">" + data + "</script>\n";
    const QByteArray script = inert(pageScript());
    const QByteArray library = inert(libraryScript());
    const QByteArray style = inert(resource(QStringLiteral("uPlot.min.css")) + resource(QStringLiteral("page.css")));
    QByteArray page = resource(QStringLiteral("page.html"));

    // The files share what is left, the smaller ones first: what one does not use goes to the next.
    const QVector<FileAnalysis>& files = analysis.files();
    QVector<int> order(files.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return tracesNeed(files.at(a)) < tracesNeed(files.at(b)); });
    qint64 left = std::min(tracesBudget,
                           pageBudget - page.size() - script.size() - library.size() - style.size() - elements.size());
    QVector<QByteArray> traces(files.size());
    for (int k = 0; k < order.size(); ++k) {
        const FileAnalysis& file = files.at(order.at(k));
        const QByteArray start = "<script type=\"application/json\" class=\"report-traces\" data-file=\""
                                 + QByteArray::number(order.at(k)) + "\">";
        const qint64 share = std::max<qint64>(1, left / (order.size() - k) - start.size() - 10);
        traces[order.at(k)] = start + (file.laps.isEmpty() ? QByteArray("null") : SessionTraces(file, share).json())
                              + "</script>\n";
        left -= traces.at(order.at(k)).size();
    }
    for (const QByteArray& trace : qAsConst(traces))
        elements += trace;
    // Filled from the last mark up: each search meets only template text before its mark, never
    // text inserted by the one before.
    fill(page, "/*@SCRIPT@*/", script);
    fill(page, "<!--@DATA@-->", elements);
    fill(page, "/*@LIBRARY@*/", library);
    fill(page, "/*@PAGE_STYLE@*/", style);
    return page;
}

bool ReportPage::write(const QString& path, const QByteArray& summary, const SessionAnalysis& analysis)
{
    const QByteArray page = html(summary, analysis);
    OutputFile file(path);
    if (!file.open() || file.write(page) != page.size() || !file.commit()) {
        m_error = file.failure();
        return false;
    }
    return true;
}
