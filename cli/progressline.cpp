#include "cli/progressline.h"

#include <cstdio>
#include <unistd.h>

ProgressLine::ProgressLine(int total)
    : m_err(stderr), m_total(total), m_enabled(total > 1 && isatty(fileno(stderr)))
{
}

ProgressLine::~ProgressLine()
{
    if (m_enabled && m_width > 0)
        m_err << '\r' << QString(m_width, QLatin1Char(' ')) << '\r' << Qt::flush;
}

void ProgressLine::show(int done)
{
    if (!m_enabled || done == m_shown)
        return;
    m_shown = done;
    const QString line = QStringLiteral("Imported %1 of %2 files").arg(done).arg(m_total);
    m_width = line.size();
    m_err << '\r' << line << Qt::flush;
}
