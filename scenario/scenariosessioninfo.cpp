#include "scenario/scenario.h"
#include "scenario/scenarioconstants.h"

using namespace scenario_constants;

namespace {

struct Person
{
    const char* name;
    const char* abbrev;
    const char* initials;
    const char* licence;
    const char* licColor;
    int iRating;
};

// Made-up drivers, handed out by car index.
const Person kPeople[] = {
    {"Ana Lindqvist", "Lindqvist, A", "AL", "B 3.12", "0x00c702", 2150},
    {"Tomas Okafor", "Okafor, T", "TO", "A 2.41", "0x0153db", 3380},
    {"Mirela Dunne", "Dunne, M", "MD", "C 1.87", "0xfeec04", 1710},
    {"Jonas Ferreira", "Ferreira, J", "JF", "R 0.05", "0xfc0706", 1350},
    {"Keiko Arrow", "Arrow, K", "KA", "D 2.66", "0xfc8a27", 1490},
    {"Pavel Hruby", "Hruby, P", "PH", "A 4.99", "0x0153db", 4020},
    {"Lena Marsh", "Marsh, L", "LM", "B 1.02", "0x00c702", 2480},
};
constexpr int kPeopleCount = int(sizeof kPeople / sizeof kPeople[0]);

QByteArray number(double value, int decimals)
{
    return QByteArray::number(value, 'f', decimals);
}

// One line of the indented text: one space per level, "key: value".
void line(QByteArray& text, int indent, const QByteArray& key, const QByteArray& value)
{
    text += QByteArray(indent, ' ') + key + ": " + value + '\n';
}

void section(QByteArray& text, int indent, const QByteArray& name)
{
    text += QByteArray(indent, ' ') + name + ":\n";
}

// A list element: its first field behind "- ", the other fields two deeper than the hyphen.
void item(QByteArray& text, int indent, const QByteArray& key, const QByteArray& value)
{
    text += QByteArray(indent, ' ') + "- " + key + ": " + value + '\n';
}

void results(QByteArray& text, const ScenarioOptions& options, int driverCount, bool started)
{
    section(text, 3, "ResultsPositions");
    if (options.session == ScenarioOptions::Session::Testing)
        return; // empty, as in the simulator's testing files
    for (int car = 0; car < driverCount; ++car) {
        const double best = options.lapSeconds * (1.0 + 0.01 * (car % 7 + 1));
        const int laps = started ? 5 + car % 4 : 0;
        item(text, 3, "Position", QByteArray::number(car + 1));
        line(text, 5, "ClassPosition", QByteArray::number(car));
        line(text, 5, "CarIdx", QByteArray::number(car));
        line(text, 5, "Lap", QByteArray::number(started ? 2 + car % 3 : 0));
        line(text, 5, "Time", number(started ? best : -1.0, 4));
        line(text, 5, "FastestLap", QByteArray::number(started ? 2 + car % 3 : 0));
        line(text, 5, "FastestTime", number(started ? best : -1.0, 4));
        line(text, 5, "LastTime", number(started ? best + 0.4 : -1.0, 4));
        line(text, 5, "LapsLed", "0");
        line(text, 5, "LapsComplete", QByteArray::number(laps));
        line(text, 5, "JokerLapsComplete", "0");
        line(text, 5, "LapsDriven", number(laps, 3));
        line(text, 5, "Incidents", "0");
        line(text, 5, "ReasonOutId", "0");
        line(text, 5, "ReasonOutStr", "Running");
    }
}

void session(QByteArray& text, const ScenarioOptions& options, int driverCount, int num, const QByteArray& type,
             const QByteArray& name, bool started)
{
    item(text, 1, "SessionNum", QByteArray::number(num));
    line(text, 3, "SessionLaps", type == "Race" ? QByteArray::number(options.timedLaps + 1) : "unlimited");
    line(text, 3, "SessionTime", type == "Offline Testing" ? "unlimited" : "3600.0000 sec");
    line(text, 3, "SessionNumLapsToAvg", "0");
    line(text, 3, "SessionType", type);
    line(text, 3, "SessionTrackRubberState", "moderate usage");
    line(text, 3, "SessionName", name);
    line(text, 3, "SessionSubType", "");
    line(text, 3, "SessionSkipped", "0");
    line(text, 3, "SessionRunGroupsUsed", "0");
    line(text, 3, "SessionEnforceTireCompoundChange", "0");
    results(text, options, driverCount, started);
    section(text, 3, "ResultsFastestLap");
    item(text, 3, "CarIdx", started ? "1" : "255");
    line(text, 5, "FastestLap", started ? "3" : "0");
    line(text, 5, "FastestTime", number(started ? options.lapSeconds * 1.02 : -1.0, 4));
    line(text, 3, "ResultsAverageLapTime", "-1.0000");
    line(text, 3, "ResultsNumCautionFlags", "0");
    line(text, 3, "ResultsNumCautionLaps", "0");
    line(text, 3, "ResultsNumLeadChanges", "0");
    line(text, 3, "ResultsLapsComplete", "-1");
    line(text, 3, "ResultsOfficial", "0");
}

void driver(QByteArray& text, const ScenarioOptions& options, int car)
{
    const Person& person = kPeople[car % kPeopleCount];
    const bool testing = options.session == ScenarioOptions::Session::Testing;
    QByteArray name = person.name;
    if (car >= kPeopleCount)
        name += ' ' + QByteArray::number(car / kPeopleCount + 1);
    const QByteArray userId = QByteArray::number(100000 + 3571 * car);
    item(text, 1, "CarIdx", QByteArray::number(car));
    line(text, 3, "UserName", name);
    line(text, 3, "AbbrevName", testing ? "" : person.abbrev);
    line(text, 3, "Initials", testing ? "" : person.initials);
    line(text, 3, "UserID", userId);
    line(text, 3, "TeamID", "0");
    line(text, 3, "TeamName", testing ? name : "Harbour Lights Racing");
    line(text, 3, "CarNumber", '"' + QByteArray::number(car + 11) + '"');
    line(text, 3, "CarNumberRaw", QByteArray::number(car + 11));
    line(text, 3, "CarPath", "apexgt4h");
    line(text, 3, "CarClassID", testing ? "0" : "4107");
    line(text, 3, "CarID", "301");
    line(text, 3, "CarIsPaceCar", "0");
    line(text, 3, "CarIsAI", "0");
    line(text, 3, "CarIsElectric", "0");
    line(text, 3, "CarScreenName", options.carName);
    line(text, 3, "CarScreenNameShort", "Apex GT4 H");
    line(text, 3, "CarClassShortName", testing ? "" : "GT4H");
    line(text, 3, "CarClassRelSpeed", "0");
    line(text, 3, "CarClassLicenseLevel", "0");
    line(text, 3, "CarClassMaxFuelPct", "1.000 %");
    line(text, 3, "CarClassWeightPenalty", "0.000 kg");
    line(text, 3, "CarClassPowerAdjust", "0.000 %");
    line(text, 3, "CarClassDryTireSetLimit", "0 %");
    line(text, 3, "CarClassColor", "0xffffff");
    line(text, 3, "CarClassEstLapTime", number(options.lapSeconds, 4));
    line(text, 3, "IRating", QByteArray::number(person.iRating));
    line(text, 3, "LicLevel", "14");
    line(text, 3, "LicSubLevel", "312");
    line(text, 3, "LicString", person.licence);
    line(text, 3, "LicColor", person.licColor);
    line(text, 3, "IsSpectator", "0");
    line(text, 3, "CarDesignStr", "1,2a3f8e,f0f0f0,d4202c");
    line(text, 3, "HelmetDesignStr", "3,111111,d4202c,f0f0f0");
    line(text, 3, "SuitDesignStr", "7,2a3f8e,f0f0f0,111111");
    line(text, 3, "CarNumberDesignStr", "0,0,ffffff,777777,000000");
    line(text, 3, "CarSponsor_1", "0");
    line(text, 3, "CarSponsor_2", "0");
    line(text, 3, "ClubName", "Oceania");
    line(text, 3, "ClubID", "39");
    line(text, 3, "DivisionName", "Division 3");
    line(text, 3, "DivisionID", "2");
    line(text, 3, "CurDriverIncidentCount", "0");
    line(text, 3, "TeamIncidentCount", "0");
}

void tyre(QByteArray& text, const QByteArray& corner, bool inside)
{
    section(text, 2, corner);
    line(text, 3, "ColdPressure", "165 kPa");
    line(text, 3, "LastHotPressure", "176 kPa");
    line(text, 3, inside ? "LastTempsIMO" : "LastTempsOMI", "71C, 74C, 69C");
    line(text, 3, "TreadRemaining", "97%, 98%, 96%");
}

void corner(QByteArray& text, const QByteArray& name, bool front)
{
    section(text, 2, name);
    line(text, 3, "CornerWeight", front ? "2614 N" : "3102 N");
    line(text, 3, "RideHeight", front ? "58.4 mm" : "71.9 mm");
    line(text, 3, "Camber", front ? "-3.2 deg" : "-2.4 deg");
    line(text, 3, "ToeIn", front ? "-1.2 mm" : "+0.8 mm");
}

} // namespace

QByteArray Scenario::sessionInfo() const
{
    if (!m_options.sessionInfo.isEmpty())
        return m_options.sessionInfo;

    const ScenarioOptions& o = m_options;
    const bool testing = o.session == ScenarioOptions::Session::Testing;
    const bool race = o.session == ScenarioOptions::Session::Race;
    QByteArray text = "---\n";

    section(text, 0, "WeekendInfo");
    line(text, 1, "TrackName", "lakeside gp");
    line(text, 1, "TrackID", "517");
    line(text, 1, "TrackLength", number(trackLength(o) / 1000.0, 2) + " km");
    line(text, 1, "TrackLengthOfficial", number(trackLength(o) / 1000.0 + 0.04, 2) + " km");
    line(text, 1, "TrackDisplayName", o.trackName);
    line(text, 1, "TrackDisplayShortName", "Lakeside");
    line(text, 1, "TrackConfigName", "Grand Prix");
    line(text, 1, "TrackCity", "Harrowgate");
    line(text, 1, "TrackCountry", "New Zealand");
    line(text, 1, "TrackAltitude", "112.40 m");
    line(text, 1, "TrackLatitude", number(kCentreLatitude, 6) + " m");
    line(text, 1, "TrackLongitude", number(kCentreLongitude, 6) + " m");
    line(text, 1, "TrackNorthOffset", "2.1043 rad");
    line(text, 1, "TrackNumTurns", QByteArray::number(o.track.isEmpty() ? 11 : o.track.turns()));
    line(text, 1, "TrackPitSpeedLimit", number(kPitSpeedLimit * 3.6, 2) + " kph");
    line(text, 1, "TrackType", o.track.isEmpty() ? QByteArray("road course") : o.track.kind());
    line(text, 1, "TrackDirection", "neutral");
    line(text, 1, "TrackWeatherType", "Static");
    line(text, 1, "TrackSkies", "Partly Cloudy");
    line(text, 1, "TrackSurfaceTemp", "31.20 C");
    line(text, 1, "TrackAirTemp", "21.70 C");
    line(text, 1, "TrackAirPressure", "29.74 Hg");
    line(text, 1, "TrackWindVel", "2.10 m/s");
    line(text, 1, "TrackWindDir", "1.57 rad");
    line(text, 1, "TrackRelativeHumidity", "55 %");
    line(text, 1, "TrackFogLevel", "0 %");
    line(text, 1, "TrackPrecipitation", "0 %");
    line(text, 1, "TrackCleanup", "1");
    line(text, 1, "TrackDynamicTrack", "1");
    line(text, 1, "TrackVersion", "2024.05.14.01");
    line(text, 1, "SeriesID", "0");
    line(text, 1, "SeasonID", "0");
    line(text, 1, "SessionID", testing ? "0" : "271828");
    line(text, 1, "SubSessionID", testing ? "0" : "3141592");
    line(text, 1, "LeagueID", "0");
    line(text, 1, "Official", "0");
    line(text, 1, "RaceWeek", "0");
    line(text, 1, "EventType", testing ? "Test" : race ? "Race" : "Practice");
    line(text, 1, "Category", "Road");
    line(text, 1, "SimMode", "full");
    line(text, 1, "TeamRacing", "0");
    line(text, 1, "MinDrivers", "0");
    line(text, 1, "MaxDrivers", "0");
    line(text, 1, "DCRuleSet", "None");
    line(text, 1, "QualifierMustStartRace", "0");
    line(text, 1, "NumCarClasses", "1");
    line(text, 1, "NumCarTypes", "1");
    line(text, 1, "HeatRacing", "0");
    line(text, 1, "BuildType", "Release");
    line(text, 1, "BuildTarget", "Members");
    line(text, 1, "BuildVersion", "2024.05.20.02");
    line(text, 1, "RaceFarm", "");
    section(text, 1, "WeekendOptions");
    line(text, 2, "NumStarters", QByteArray::number(testing ? 0 : o.driverCount));
    line(text, 2, "StartingGrid", "single file");
    line(text, 2, "QualifyScoring", "best lap");
    line(text, 2, "CourseCautions", race ? "local" : "off");
    line(text, 2, "StandingStart", race ? "1" : "0");
    line(text, 2, "ShortParadeLap", "0");
    line(text, 2, "Restarts", "single file");
    line(text, 2, "WeatherType", "Static");
    line(text, 2, "Skies", "Partly Cloudy");
    line(text, 2, "WindDirection", "E");
    line(text, 2, "WindSpeed", "7.56 km/h");
    line(text, 2, "WeatherTemp", "21.70 C");
    line(text, 2, "RelativeHumidity", "55 %");
    line(text, 2, "FogLevel", "0 %");
    line(text, 2, "TimeOfDay", "1:30 pm");
    line(text, 2, "Date", "2024-05-25");
    line(text, 2, "EarthRotationSpeedupFactor", "1");
    line(text, 2, "Unofficial", "1");
    line(text, 2, "CommercialMode", "consumer");
    line(text, 2, "NightMode", "variable");
    line(text, 2, "IsFixedSetup", "0");
    line(text, 2, "StrictLapsChecking", "default");
    line(text, 2, "HasOpenRegistration", "0");
    line(text, 2, "HardcoreLevel", "1");
    line(text, 2, "NumJokerLaps", "0");
    line(text, 2, "IncidentLimit", "unlimited");
    line(text, 2, "FastRepairsLimit", "unlimited");
    line(text, 2, "GreenWhiteCheckeredLimit", "0");
    section(text, 1, "TelemetryOptions");
    line(text, 2, "TelemetryDiskFile", "\"\"");
    text += '\n';

    section(text, 0, "SessionInfo");
    line(text, 1, "CurrentSessionNum", race ? "2" : "0");
    section(text, 1, "Sessions");
    if (testing) {
        session(text, o, o.driverCount, 0, "Offline Testing", "TESTING", false);
    } else if (!race) {
        session(text, o, o.driverCount, 0, "Practice", "PRACTICE", true);
    } else {
        session(text, o, o.driverCount, 0, "Practice", "PRACTICE", true);
        session(text, o, o.driverCount, 1, "Qualify", "QUALIFY", true);
        session(text, o, o.driverCount, 2, "Race", "RACE", false);
    }
    text += '\n';

    section(text, 0, "CameraInfo");
    section(text, 1, "Groups");
    const char* const groups[] = {"Nose", "Cockpit", "Chase"};
    for (int group = 0; group < 3; ++group) {
        item(text, 1, "GroupNum", QByteArray::number(group + 1));
        line(text, 3, "GroupName", groups[group]);
        section(text, 3, "Cameras");
        item(text, 3, "CameraNum", "1");
        line(text, 5, "CameraName", QByteArray("Cam") + groups[group]);
    }
    text += '\n';

    section(text, 0, "DriverInfo");
    line(text, 1, "DriverCarIdx", QByteArray::number(o.playerCarIdx));
    line(text, 1, "DriverUserID", QByteArray::number(100000 + 3571 * o.playerCarIdx));
    line(text, 1, "PaceCarIdx", "-1");
    line(text, 1, "DriverHeadPosX", "-0.640");
    line(text, 1, "DriverHeadPosY", "0.380");
    line(text, 1, "DriverHeadPosZ", "0.610");
    line(text, 1, "DriverCarIsElectric", "0");
    line(text, 1, "DriverCarIdleRPM", "900.000");
    line(text, 1, "DriverCarRedLine", "7500.000");
    line(text, 1, "DriverCarEngCylinderCount", "8");
    line(text, 1, "DriverCarFuelKgPerLtr", number(kFuelKgPerLitre, 3));
    line(text, 1, "DriverCarFuelMaxLtr", number(kFuelMaxLitres, 3));
    line(text, 1, "DriverCarMaxFuelPct", number(kFuelMaxPct, 3));
    line(text, 1, "DriverCarGearNumForward", "6");
    line(text, 1, "DriverCarGearNeutral", "1");
    line(text, 1, "DriverCarGearReverse", "1");
    line(text, 1, "DriverCarSLFirstRPM", "6200.000");
    line(text, 1, "DriverCarSLShiftRPM", "7000.000");
    line(text, 1, "DriverCarSLLastRPM", "7200.000");
    line(text, 1, "DriverCarSLBlinkRPM", "7400.000");
    line(text, 1, "DriverCarVersion", "2024.05.14.01");
    line(text, 1, "DriverPitTrkPct", number(kPitBoxPct, 6));
    line(text, 1, "DriverCarEstLapTime", number(o.lapSeconds, 4));
    line(text, 1, "DriverSetupName", "baseline.sto");
    line(text, 1, "DriverSetupIsModified", "0");
    line(text, 1, "DriverSetupLoadTypeName", "baseline");
    line(text, 1, "DriverSetupPassedTech", "1");
    line(text, 1, "DriverIncidentCount", "0");
    section(text, 1, "DriverTires");
    item(text, 1, "TireIndex", "0");
    line(text, 3, "TireCompoundType", "\"Hard\"");
    section(text, 1, "Drivers");
    for (int car = 0; car < o.driverCount; ++car)
        driver(text, o, car);
    text += '\n';

    section(text, 0, "SplitTimeInfo");
    section(text, 1, "Sectors");
    for (int sector = 0; sector < 4; ++sector) {
        item(text, 1, "SectorNum", QByteArray::number(sector));
        line(text, 3, "SectorStartPct", number(sector * 0.25, 6));
    }
    text += '\n';

    section(text, 0, "CarSetup");
    line(text, 1, "UpdateCount", "1");
    section(text, 1, "Tires");
    tyre(text, "LeftFront", false);
    tyre(text, "LeftRear", false);
    tyre(text, "RightFront", true);
    tyre(text, "RightRear", true);
    section(text, 1, "Chassis");
    section(text, 2, "Front");
    line(text, 3, "ArbSetting", "3");
    line(text, 3, "BrakePressureBias", "56.5%");
    corner(text, "LeftFront", true);
    corner(text, "LeftRear", false);
    section(text, 2, "Rear");
    line(text, 3, "FuelLevel", number(kFuelStartLitres, 1) + " L");
    line(text, 3, "ArbSetting", "2");
    line(text, 3, "WingAngle", "7.5 deg");
    corner(text, "RightFront", true);
    corner(text, "RightRear", false);
    text += "\n...\n";
    return text;
}
