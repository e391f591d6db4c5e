#pragma once

#include <QByteArray>
#include <QPointF>
#include <QVector>

/// A closed track made of straights and arcs, driven from the line at the start of its first
/// piece, heading east. Distances wrap around the lap.
class TrackShape
{
public:
    struct Piece
    {
        double length = 0.0; // metres along the centre line
        double radius = 0.0; // metres; 0 a straight, > 0 a right-hand arc, < 0 a left-hand one
    };

    TrackShape() = default;
    /// kind and turns are what the session info says of the track (TrackType, TrackNumTurns).
    explicit TrackShape(const QVector<Piece>& pieces, const QByteArray& kind = "road course", int turns = 0);

    /// A road course of five corners, clockwise: a hairpin, a medium right, a right-left-right
    /// chicane taken in one braking zone, a slow right and a fast one; the line on its longest straight.
    static TrackShape sampleRoadCourse();

    bool isEmpty() const { return m_pieces.isEmpty(); }
    const QVector<Piece>& pieces() const { return m_pieces; }
    QByteArray kind() const { return m_kind; }
    int turns() const { return m_turns; }
    double length() const { return m_length; }

    /// Where piece i begins, metres from the line.
    double pieceStart(int i) const { return m_starts.at(i).distance; }
    /// The piece under a distance.
    int pieceAt(double distance) const;

    /// East and north in metres of the centre of the track's bounding box.
    QPointF position(double distance) const;
    /// Direction of travel, radians clockwise from north.
    double heading(double distance) const;
    /// 1 / radius of the piece under the distance: positive turning right, 0 on a straight.
    double curvature(double distance) const;
    /// How far the end of the last piece lies from the line: 0 for a track that closes.
    double closureGap() const;

private:
    struct Pose
    {
        double distance = 0.0;
        double east = 0.0;
        double north = 0.0;
        double heading = 0.0;
    };

    /// A pose moved s metres along a piece it lies on.
    static Pose along(Pose pose, const Piece& piece, double s);
    double wrapped(double distance) const;
    Pose poseAt(double distance) const; // from the start point, before centring

    QVector<Piece> m_pieces;
    QVector<Pose> m_starts; // one per piece, and the end of the last
    QByteArray m_kind;
    int m_turns = 0;
    double m_length = 0.0;
    QPointF m_centre;
};
