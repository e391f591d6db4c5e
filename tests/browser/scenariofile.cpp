// Writes a generated session for the browser tests: scenariofile race|practice PATH.
#include "ibt/scenario.h"

#include <QTextStream>

int main(int argc, char* argv[])
{
    if (argc != 3) {
        QTextStream(stderr) << "usage: scenariofile race|practice PATH\n";
        return 2;
    }
    ScenarioOptions options;
    const bool race = QByteArray(argv[1]) == "race";
    options.session = race ? ScenarioOptions::Session::Race : ScenarioOptions::Session::Practice;
    options.timedLaps = race ? 6 : 4;
    options.lapSeconds = 70.0;
    options.driverCount = race ? 8 : 1;
    options.pitStop = !race;
    options.seed = 11;
    Scenario scenario(options);
    if (!scenario.write(QString::fromLocal8Bit(argv[2]))) {
        QTextStream(stderr) << "scenariofile: " << scenario.errorString() << '\n';
        return 1;
    }
    return 0;
}
