#pragma once

#include <QSize>
#include <QString>

class LapPlot;

/// Renders a plot headlessly into a PNG (QImage) or an SVG (QSvgGenerator) file, chosen by
/// the file's suffix, and writes it complete or not at all.
class PlotFile
{
public:
    /// The error text for a path whose suffix names no supported format; empty when supported.
    static QString formatError(const QString& path);

    bool write(LapPlot& plot, const QString& path, const QSize& size);
    QString errorString() const { return m_error; }

private:
    QString m_error;
};
