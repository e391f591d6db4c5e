#pragma once

#include <QString>
#include <QVariant>
#include <QVector>

namespace ZEL {

/// One car that a live telemetry source offers.
class LiveCarInfo
{
public:
    QVariant id() const { return m_id; }
    void setId(const QVariant& id) { m_id = id; }
    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    bool selected() const { return m_selected; }
    void setSelected(bool selected) { m_selected = selected; }

private:
    QVariant m_id;
    QString m_name;
    bool m_selected = false;
};

/// The cars of a live source; this plugin declares the type for its signal but never builds one.
class LivePluginInfo
{
public:
    QVector<LiveCarInfo> carList;
    QString text1;
    QString text2;
};

} // namespace ZEL
