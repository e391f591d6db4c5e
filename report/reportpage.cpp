#include "report/reportpage.h"

#include "analysis/sessionanalysis.h"
#include "output/outputfile.h"
#include "report/sessiontraces.h"

#include <QFile>

#include <algorithm>

namespace {

// The traces of a single long session fit in this, with room to spare for the summary, the
// script and the library under 6 MB; several files share it, each with at least the smaller amount.
constexpr qint64 tracesBudget = 4500000;
constexpr qint64 minFileBudget = 1500000;

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
    const QVector<FileAnalysis>& files = analysis.files();
    const qint64 fileBudget = files.isEmpty() ? 0 : std::max<qint64>(minFileBudget, tracesBudget / files.size());
    for (int i = 0; i < files.size(); ++i) {
        elements += "<script type=\"application/json\" class=\"report-traces\" data-file=\"" + QByteArray::number(i)
                    + "\">"
                    + (files.at(i).laps.isEmpty() ? QByteArray("null") : SessionTraces(files.at(i), fileBudget).json())
                    + "</script>\n";
    }
    QByteArray page = resource(QStringLiteral("page.html"));
    // Filled from the last mark up: each search meets only template text before its mark, never
    // text inserted by the one before.
    fill(page, "/*@SCRIPT@*/", inert(resource(QStringLiteral("page.js"))));
    fill(page, "<!--@DATA@-->", elements);
    fill(page, "/*@LIBRARY@*/", inert(libraryScript()));
    fill(page, "/*@PAGE_STYLE@*/", inert(resource(QStringLiteral("uPlot.min.css")) + resource(QStringLiteral("page.css"))));
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
