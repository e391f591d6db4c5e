#include "plot/plotfile.h"

#include "output/outputfile.h"
#include "plot/lapplot.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

namespace {

bool isSvg(const QString& path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("svg"), Qt::CaseInsensitive) == 0;
}

bool isPng(const QString& path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("png"), Qt::CaseInsensitive) == 0;
}

} // namespace

QString PlotFile::formatError(const QString& path)
{
    if (isSvg(path) || isPng(path))
        return {};
    return QStringLiteral("cannot plot into %1: the name must end in .png or .svg").arg(path);
}

bool PlotFile::write(LapPlot& plot, const QString& path, const QSize& size)
{
    OutputFile file(path);
    if (!file.open()) {
        m_error = file.failure();
        return false;
    }
    const QRectF area(QPointF(0, 0), size);
    bool written = true;
    if (isSvg(path)) {
        QSvgGenerator generator;
        generator.setOutputDevice(&file);
        generator.setSize(size);
        generator.setViewBox(area);
        // Browsers take 96 pixels to the inch; the default 72 would show the picture a third larger.
        generator.setResolution(96);
        // Written into the SVG as it is: escaped here, so that "R&D <1>" stays text.
        generator.setTitle(QFileInfo(path).completeBaseName().toHtmlEscaped());
        QPainter painter(&generator);
        plot.render(painter, area);
        written = painter.end();
    } else {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        plot.render(painter, area);
        painter.end();
        // Encoded in memory first: a write that fails inside the PNG encoder leaks the encoder's
        // image, a failed plain write says why.
        QBuffer encoded;
        written = image.save(&encoded, "PNG") && file.write(encoded.data()) == encoded.data().size();
    }
    if (!written || !file.commit()) {
        m_error = file.failure().isEmpty() ? QStringLiteral("cannot write %1").arg(path) : file.failure();
        return false;
    }
    return true;
}
