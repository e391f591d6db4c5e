#include "analysis/cornerdetector.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double apexShare = 0.95;   // the apex is the middle of where the bend is this tight
constexpr double ovalEndShare = 0.5; // an oval's ends turn harder than halfway from its straights to its tightest
constexpr double ovalMergeShare = 0.1; // of the lap: dips shorter than this stay within one end

double percentile(QVector<double> values, double share)
{
    if (values.isEmpty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values.at(std::min(values.size() - 1, int(share * values.size())));
}

int signOf(double v)
{
    return v > 0.0 ? 1 : v < 0.0 ? -1 : 0;
}

} // namespace

QVector<Corner> CornerDetector::detect(const TrackCurvature& curvature, const CornerSettings& settings)
{
    if (curvature.isEmpty())
        return {};
    const int n = curvature.size();
    // On a whole lap, start the search on the straightest point, so that no bend is cut at the line.
    int rotation = 0;
    QVector<double> absolute(n);
    for (int i = 0; i < n; ++i) {
        const double k = curvature.curvature().at(i);
        absolute[i] = std::isnan(k) ? 0.0 : std::fabs(k);
    }
    if (curvature.wraps())
        rotation = int(std::min_element(absolute.cbegin(), absolute.cend()) - absolute.cbegin());
    QVector<double> tight(n), signedCurvature(n), speed(n);
    for (int j = 0; j < n; ++j) {
        const int i = (j + rotation) % n;
        tight[j] = absolute.at(i);
        signedCurvature[j] = curvature.curvature().at(i);
        speed[j] = curvature.speed().at(i);
    }
    const double threshold = settings.oval
                                 ? percentile(tight, 0.1) + ovalEndShare * (percentile(tight, 0.9) - percentile(tight, 0.1))
                                 : settings.minCurvature;
    const double lapLength = n * curvature.step();
    const QVector<Bend> found =
        merged(bends(tight, signedCurvature, speed, threshold, settings, curvature.step()), speed, settings,
               curvature.step(), lapLength);

    const auto distance = [&](int j) {
        const double d = curvature.distanceAt((j + rotation) % n);
        return curvature.wraps() && d >= lapLength ? d - lapLength : d;
    };
    QVector<Corner> corners;
    for (const Bend& bend : found)
        corners.append({0, distance(bend.start), distance(bend.apex), distance(bend.end)});
    std::sort(corners.begin(), corners.end(), [](const Corner& a, const Corner& b) { return a.apex < b.apex; });
    for (int i = 0; i < corners.size(); ++i)
        corners[i].number = i + 1;
    return corners;
}

QVector<CornerDetector::Bend> CornerDetector::bends(const QVector<double>& tight, const QVector<double>& signedCurvature,
                                                    const QVector<double>& speed, double threshold,
                                                    const CornerSettings& settings, double step)
{
    const int n = tight.size();
    QVector<Bend> found;
    int i = 0;
    while (i < n) {
        if (tight.at(i) < threshold || threshold <= 0.0) {
            ++i;
            continue;
        }
        // A core above the threshold, turning one way.
        const int sign = signOf(signedCurvature.at(i));
        int coreEnd = i;
        while (coreEnd + 1 < n && tight.at(coreEnd + 1) >= threshold
               && (settings.oval || signOf(signedCurvature.at(coreEnd + 1)) == sign))
            ++coreEnd;
        const int peak = int(std::max_element(tight.cbegin() + i, tight.cbegin() + coreEnd + 1) - tight.cbegin());
        const double half = tight.at(peak) / 2.0;
        const int floor = found.isEmpty() ? 0 : found.last().end + 1;
        int start = peak;
        while (start - 1 >= floor && tight.at(start - 1) > half
               && (settings.oval || signOf(signedCurvature.at(start - 1)) == sign))
            --start;
        int end = peak;
        while (end + 1 < n && tight.at(end + 1) > half && (settings.oval || signOf(signedCurvature.at(end + 1)) == sign))
            ++end;
        int apexFrom = peak, apexTo = peak;
        while (apexFrom - 1 >= start && tight.at(apexFrom - 1) >= apexShare * tight.at(peak))
            --apexFrom;
        while (apexTo + 1 <= end && tight.at(apexTo + 1) >= apexShare * tight.at(peak))
            ++apexTo;
        double turn = 0.0;
        double minSpeed = std::nan("");
        for (int k = start; k <= end; ++k) {
            turn += tight.at(k) * step;
            if (!std::isnan(speed.at(k)) && !(speed.at(k) >= minSpeed))
                minSpeed = speed.at(k);
        }
        if (turn >= settings.minTurnRad)
            found.append({start, (apexFrom + apexTo) / 2, end, sign, minSpeed});
        // The rest of the core falls away from this peak; a second peak rises again.
        i = end + 1;
        while (i < n && i > 0 && tight.at(i) <= tight.at(i - 1))
            ++i;
    }
    return found;
}

QVector<CornerDetector::Bend> CornerDetector::merged(const QVector<Bend>& bends, const QVector<double>& speed,
                                                     const CornerSettings& settings, double step, double lapLength)
{
    QVector<Bend> result;
    for (const Bend& bend : bends) {
        if (result.isEmpty()) {
            result.append(bend);
            continue;
        }
        Bend& last = result.last();
        const double gap = (bend.start - last.end) * step;
        bool join;
        if (settings.oval) {
            join = bend.sign == last.sign && gap < ovalMergeShare * lapLength;
        } else if (std::isnan(last.minSpeed) || std::isnan(bend.minSpeed)) {
            join = gap < settings.smoothingM;
        } else {
            double fastest = 0.0;
            for (int k = last.apex; k <= bend.apex; ++k) {
                if (!std::isnan(speed.at(k)))
                    fastest = std::max(fastest, speed.at(k));
            }
            join = gap <= settings.mergeGapM
                   && fastest <= (1.0 + settings.mergeSpeedRise) * std::max(last.minSpeed, bend.minSpeed);
        }
        if (!join) {
            result.append(bend);
            continue;
        }
        // The slower bend's apex is the corner's.
        if (bend.minSpeed < last.minSpeed)
            last.apex = bend.apex;
        last.minSpeed = std::min(last.minSpeed, bend.minSpeed);
        last.end = bend.end;
    }
    return result;
}
