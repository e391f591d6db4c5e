#include "scenario/trackshape.h"

#include <QtMath>

#include <algorithm>
#include <cmath>

TrackShape::Pose TrackShape::along(Pose pose, const Piece& piece, double s)
{
    const double h0 = pose.heading;
    if (piece.radius == 0.0) {
        pose.east += s * std::sin(h0);
        pose.north += s * std::cos(h0);
    } else {
        const double h1 = h0 + s / piece.radius;
        pose.east += piece.radius * (std::cos(h0) - std::cos(h1));
        pose.north += piece.radius * (std::sin(h1) - std::sin(h0));
        pose.heading = h1;
    }
    pose.distance += s;
    return pose;
}

TrackShape::TrackShape(const QVector<Piece>& pieces, const QByteArray& kind, int turns)
    : m_kind(kind), m_turns(turns)
{
    for (const Piece& piece : pieces) {
        if (piece.length > 0.0)
            m_pieces.append(piece);
    }
    Pose pose;
    pose.heading = M_PI / 2.0;
    for (const Piece& piece : qAsConst(m_pieces)) {
        m_starts.append(pose);
        pose = along(pose, piece, piece.length);
    }
    m_starts.append(pose);
    m_length = pose.distance;

    if (m_pieces.isEmpty())
        return;
    double minEast = 0.0, maxEast = 0.0, minNorth = 0.0, maxNorth = 0.0;
    for (double d = 0.0; d < m_length; d += 1.0) {
        const Pose p = poseAt(d);
        minEast = std::min(minEast, p.east);
        maxEast = std::max(maxEast, p.east);
        minNorth = std::min(minNorth, p.north);
        maxNorth = std::max(maxNorth, p.north);
    }
    m_centre = QPointF((minEast + maxEast) / 2.0, (minNorth + maxNorth) / 2.0);
}

double TrackShape::wrapped(double distance) const
{
    if (m_length <= 0.0)
        return 0.0;
    const double d = std::fmod(distance, m_length);
    return d < 0.0 ? d + m_length : d;
}

TrackShape TrackShape::sampleRoadCourse()
{
    const auto arc = [](double degrees, double radius) { return std::fabs(qDegreesToRadians(degrees) * radius); };
    return TrackShape({{400, 0}, {arc(90, 20), 20}, {250, 0}, {arc(90, 60), 60}, {150, 0}, {arc(30, 40), 40},
                       {arc(60, 40), -40}, {arc(30, 40), 40}, {545, 0}, {arc(90, 35), 35}, {195, 0},
                       {arc(90, 100), 100}, {350, 0}},
                      "road course", 5);
}

int TrackShape::pieceAt(double distance) const
{
    if (m_pieces.isEmpty())
        return -1;
    const double d = wrapped(distance);
    const auto after = std::upper_bound(m_starts.cbegin(), m_starts.cend() - 1, d,
                                        [](double x, const Pose& pose) { return x < pose.distance; });
    return std::max(0, int(after - m_starts.cbegin()) - 1);
}

TrackShape::Pose TrackShape::poseAt(double distance) const
{
    const int i = pieceAt(distance);
    if (i < 0)
        return Pose();
    const Pose& start = m_starts.at(i);
    return along(start, m_pieces.at(i), wrapped(distance) - start.distance);
}

QPointF TrackShape::position(double distance) const
{
    const Pose pose = poseAt(distance);
    return QPointF(pose.east, pose.north) - m_centre;
}

double TrackShape::heading(double distance) const
{
    return poseAt(distance).heading;
}

double TrackShape::curvature(double distance) const
{
    const int i = pieceAt(distance);
    return i < 0 || m_pieces.at(i).radius == 0.0 ? 0.0 : 1.0 / m_pieces.at(i).radius;
}

double TrackShape::closureGap() const
{
    if (m_pieces.isEmpty())
        return 0.0;
    return std::hypot(m_starts.last().east, m_starts.last().north);
}
