#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <QVector>

class QIODevice;

/// JSON written as it goes into a device, a block at a time, so that a document of hundreds of
/// megabytes never sits in memory. Numbers are written in their shortest exact form; commas
/// and nesting are kept track of here. Strings escape "<" too, so that the text may sit inside
/// an HTML script element.
class JsonWriter
{
public:
    explicit JsonWriter(QIODevice* device);

    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    /// The key of the next value inside an object.
    void key(const char* name);
    void key(const QString& name);

    void null();
    void value(bool v);
    void value(int v);
    void value(qint64 v);
    /// null when not finite.
    void value(double v);
    /// A channel's samples as an array: each the shortest text that reads back as the same float
    /// when the value is one (so that a float reads 0.1, not 0.10000000149), else as the same
    /// double; null for a missing value (the marker, infinite, not a number).
    void samples(const QVector<double>& values);
    void value(const QString& v);
    void value(const char* v);
    /// Any JSON value, objects and arrays included.
    void value(const QJsonValue& v);
    /// A key and its value.
    template <typename T>
    void field(const char* name, const T& v)
    {
        key(name);
        value(v);
    }

    /// Writes out what is buffered; false once the device refused a write.
    bool flush();
    bool failed() const { return m_failed; }

private:
    void separate();
    void raw(const char* text, int size);
    void string(const QString& text);

    QIODevice* m_device;
    QByteArray m_buffer;
    QVector<bool> m_first; // per open object or array: nothing written in it yet
    bool m_afterKey = false;
    bool m_failed = false;
};
