#include "ibt/ibtreader.h"
#include "sessioninfo/sessiontype.h"

#include <QColor>

#include <cmath>

namespace {

/// "3.85 km" -> 3.85 with unit "km"; a missing text still gives 0 with no unit.
void setNumberWithUnit(ZEL::LapHeader& header, const QString& key, const QString& text)
{
    const QStringList words = text.simplified().split(QLatin1Char(' '));
    header.setValue(key, words.first().toDouble(), words.size() >= 2 ? words.at(1) : QString(""));
}

/// The session's two numbers, read as the hex digits of a UUID: 1 and 2 give 00000000-...-000000000012.
QUuid sessionIdentity(const QString& sessionId, const QString& subSessionId)
{
    QString text = QStringLiteral("%1").arg(sessionId + subSessionId, 32, QLatin1Char('0'));
    for (int at : {8, 13, 18, 23})
        text.insert(at, QLatin1Char('-'));
    return QUuid(text);
}

QColor licenceColour(const QString& text)
{
    QColor colour;
    colour.setNamedColor(QString(text).replace(QLatin1String("0x"), QLatin1String("#")));
    return colour;
}

constexpr double negligible = 1e-12;

} // namespace

void IbtReader::fillLapHeader(int carIdx, ZEL::LapHeader& header) const
{
    header.setCarId(carIdx);

    if (const SessionInfoNode* weekend = sessionInfo.child(QStringLiteral("WeekendInfo"))) {
        header.setTrackName(weekend->value(QStringLiteral("TrackDisplayName")));
        header.setSessionId(sessionIdentity(weekend->value(QStringLiteral("SessionID")),
                                            weekend->value(QStringLiteral("SubSessionID"))));
        header.setTrackConfig(weekend->value(QStringLiteral("TrackConfigName")));
        static const QPair<const char*, const char*> texts[] = {
            {"Track short name", "TrackDisplayShortName"},
            {"Track city", "TrackCity"},
            {"Track country", "TrackCountry"},
            {"Track turns", "TrackNumTurns"},
            {"Skies", "TrackSkies"},
            {"Official", "Official"},
            {"Category", "Category"},
        };
        for (const auto& entry : texts)
            header.setValue(QLatin1String(entry.first), weekend->value(QLatin1String(entry.second)), QString(""));
        setNumberWithUnit(header, QStringLiteral("Track length"), weekend->value(QStringLiteral("TrackLength")));
        setNumberWithUnit(header, QStringLiteral("Track surface temperature"),
                          weekend->value(QStringLiteral("TrackSurfaceTemp")));
        setNumberWithUnit(header, QStringLiteral("Air temperature"), weekend->value(QStringLiteral("TrackAirTemp")));
        setNumberWithUnit(header, QStringLiteral("Weekend temperature"),
                          weekend->valueAt(QStringLiteral("WeekendOptions/WeatherTemp")));
        const QString northOffset = weekend->value(QStringLiteral("TrackNorthOffset")).simplified();
        header.setValue(QStringLiteral("YawOffset"), northOffset.split(QLatin1Char(' ')).first().toDouble(),
                        QString(""));
    }

    if (const SessionInfoNode* driverInfo = sessionInfo.child(QStringLiteral("DriverInfo"))) {
        if (carIdx == playerCarIdx) {
            const double maxLitres = driverInfo->value(QStringLiteral("DriverCarFuelMaxLtr")).toDouble();
            const double maxShare = driverInfo->value(QStringLiteral("DriverCarMaxFuelPct")).toDouble();
            const double kgPerLitre = driverInfo->value(QStringLiteral("DriverCarFuelKgPerLtr")).toDouble();
            header.setValue(QStringLiteral("Maximum fuel level"), maxLitres * maxShare, QStringLiteral("l"));
            header.setValue(QStringLiteral("Maximum fuel percent"), maxShare, QStringLiteral("pu"));
            if (std::fabs(kgPerLitre) > negligible) {
                header.setValue(QStringLiteral("Kg per fuel litre"), kgPerLitre, QString(""));
                header.setValue(QStringLiteral("Maximum fuel weight"), maxLitres * maxShare * kgPerLitre,
                                QStringLiteral("kg"));
            }
            const QString fuelSetting = sessionInfo.valueAt(QStringLiteral("CarSetup/Chassis/Rear/FuelLevel"));
            if (!fuelSetting.isEmpty()) {
                const QStringList words = fuelSetting.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
                if (words.size() == 2) {
                    header.setValue(QStringLiteral("Preferred fuel unit"),
                                    words.at(1) == QLatin1String("kg") ? QStringLiteral("weight")
                                                                       : QStringLiteral("volume"),
                                    QString(""));
                }
            }
        }

        if (const SessionInfoNode* driver = driverInfo->childAt(QStringLiteral("Drivers/") + QString::number(carIdx))) {
            header.setDriverName(driver->value(QStringLiteral("UserName")));
            header.setCarName(driver->value(QStringLiteral("CarScreenName")));
            static const QPair<const char*, const char*> texts[] = {
                {"Team", "TeamName"},
                {"Driver abbreviation", "AbbrevName"},
                {"iRating", "IRating"},
                {"License", "LicString"},
                {"Driver initials", "Initials"},
                {"iRacing UserID", "UserID"},
                {"iRacing car path", "CarPath"},
                {"iRacing car class ID", "CarClassID"},
                {"iRacing car ID", "CarID"},
                {"Class", "CarClassShortName"},
                {"Club", "ClubName"},
                {"Division", "DivisionName"},
            };
            for (const auto& entry : texts)
                header.setValue(QLatin1String(entry.first), driver->value(QLatin1String(entry.second)), QString(""));
            header.setValue(QStringLiteral("Licence color"),
                            licenceColour(driver->value(QStringLiteral("LicColor"))), QString(""));
        }
    }

    // Without a player car there is no sample that carries the session number: take session 0.
    const int session = isCarIndex(playerCarIdx)
                            ? cars.at(playerCarIdx).sampleValue(QStringLiteral("sessionnum")).toInt()
                            : 0;
    const QString type = sessionInfo.valueAt(QStringLiteral("SessionInfo/Sessions/") + QString::number(session)
                                             + QStringLiteral("/SessionType"));
    header.setValue(QStringLiteral("Session name"), type, QString(""));
    const int code = sessionTypeCode(type);
    if (code >= 0)
        header.setSessionType(ZEL::LapHeader::SessionType(code));
}
