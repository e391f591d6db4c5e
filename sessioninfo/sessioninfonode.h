#pragma once

#include <QMap>
#include <QString>

/// One node of the session-info tree: raw text values by key and owned children by name.
class SessionInfoNode
{
public:
    SessionInfoNode();
    ~SessionInfoNode();

    SessionInfoNode(const SessionInfoNode&) = delete;
    SessionInfoNode& operator=(const SessionInfoNode&) = delete;

    /// Adds the indented key/value text (Latin-1, up to the first NUL) below this node.
    void parse(const char* text);

    /// The child of that name, created empty when missing.
    SessionInfoNode* addChild(const QString& name);
    /// Deletes every child with its subtree; the values stay.
    void clearChildren();

    /// The child of that name, or null.
    const SessionInfoNode* child(const QString& name) const;
    /// The node reached by following the "/"-separated child names, or null.
    const SessionInfoNode* childAt(const QString& path) const;
    /// The value under the key, or a null string.
    QString value(const QString& key) const;
    /// The value under the last piece of the path, on the node reached by the others; null when absent.
    QString valueAt(const QString& path) const;

    /// Inserts or replaces the value under the key.
    void setValue(const QString& key, const QString& value);
    /// Sets the value under the last piece of the path, creating the nodes on the way.
    void setValueAt(const QString& path, const QString& value);

    const QMap<QString, QString>& values() const { return m_values; }
    const QMap<QString, SessionInfoNode*>& children() const { return m_children; }
    const SessionInfoNode* parent() const { return m_parent; }

private:
    QMap<QString, QString> m_values;             // key/value lines directly under this node
    QMap<QString, SessionInfoNode*> m_children;  // sections and list elements, owned
    SessionInfoNode* m_parent = nullptr;         // null at the root
};
