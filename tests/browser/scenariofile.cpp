// Writes a generated session for the browser tests and the report benchmark:
// scenariofile race|practice|long|short|corners PATH; long is the benchmark's wide 60-minute session with a pit
// stop, short the same on a track of 15 s laps (240 laps), corners the same on a road course of five corners.
#include "scenario/scenario.h"

#include <QTextStream>

int main(int argc, char* argv[])
{
    if (argc != 3) {
        QTextStream(stderr) << "usage: scenariofile race|practice|long|short|corners PATH\n";
        return 2;
    }
    ScenarioOptions options;
    const QByteArray kind(argv[1]);
    const bool race = kind == "race";
    options.session = race ? ScenarioOptions::Session::Race : ScenarioOptions::Session::Practice;
    options.timedLaps = race ? 6 : 4;
    options.lapSeconds = 70.0;
    options.driverCount = race ? 8 : 1;
    options.pitStop = !race;
    options.seed = 11;
    if (kind == "long" || kind == "short" || kind == "corners") {
        options = ScenarioOptions();
        options.wide = true;
        options.minutes = 60;
        options.pitStop = true;
        if (kind == "short")
            options.lapSeconds = 15.0;
        if (kind == "corners")
            options.track = TrackShape::sampleRoadCourse();
    }
    Scenario scenario(options);
    if (!scenario.write(QString::fromLocal8Bit(argv[2]))) {
        QTextStream(stderr) << "scenariofile: " << scenario.errorString() << '\n';
        return 1;
    }
    return 0;
}
