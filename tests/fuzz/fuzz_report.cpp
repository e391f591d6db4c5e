// A recording's bytes through the import, the analysis, the JSON summary, the report page and
// the plot: whatever a file says, each finishes within the memory rule and without a fault.

#include "analysis/sessionanalysis.h"
#include "analysis/timedelta.h"
#include "cli/jsonreport.h"
#include "plot/lapplot.h"
#include "tests/fuzz/fuzzhost.h"
#include "report/reportpage.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

namespace {

/// Text on a plot needs a GUI application; the minimal platform needs no display.
void startGui()
{
    static int argc = 1;
    static char name[] = "fuzz_report";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "minimal:enable_fonts");
    static QGuiApplication app(argc, argv);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzHost host;
    startGui();
    FileImport file;
    file.path = writeInput(data, size);
    for (ZEL::Lap* lap : host.importFile(file.path, ImportDriver::formatFilter()))
        file.laps.append(QSharedPointer<ZEL::Lap>(lap));
    const SessionAnalysis analysis({{file.path, file.laps}});
    const QByteArray page = ReportPage::html(JsonReport(true).text({file}, analysis), analysis);
    if (!page.startsWith("<!DOCTYPE html>"))
        std::abort();

    QImage image(240, 180, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    LapPlot(analysis, 0).render(painter, QRectF(0, 0, 240, 180));
    // The comparison of the first two laps, as --compare draws and tells it.
    const QVector<LapAnalysis>& laps = analysis.files().first().laps;
    if (laps.size() >= 2) {
        LapPlot(analysis, laps.at(0), laps.at(1)).render(painter, QRectF(0, 0, 240, 180));
        TimeDelta(laps.at(1).aligned, laps.at(0).aligned).largestSwings(5);
    }
    return 0;
}
