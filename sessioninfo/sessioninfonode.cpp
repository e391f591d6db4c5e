#include "sessioninfo/sessioninfonode.h"

#include <QVector>

#include <vector>

namespace {

QString withoutSpaces(const QStringRef& text)
{
    return text.toString().remove(QLatin1Char(' '));
}

} // namespace

SessionInfoNode::SessionInfoNode() = default;

SessionInfoNode::~SessionInfoNode()
{
    clearChildren();
}

void SessionInfoNode::parse(const char* text)
{
    const QString all = text ? QString::fromLatin1(text) : QString();
    const QVector<QStringRef> lines = all.splitRef(QLatin1Char('\n'));

    SessionInfoNode* current = this;
    int previousIndent = 0;
    bool previousWasSection = false;
    bool listLine = false;

    for (const QStringRef& line : lines) {
        if (line.isEmpty())
            continue;

        int spaces = 0;
        while (spaces < line.size() && line.at(spaces) == QLatin1Char(' '))
            ++spaces;
        int indent = 0;
        if (spaces < line.size()) { // a line of spaces keeps the list flag of the line before
            listLine = line.at(spaces) == QLatin1Char('-');
            indent = listLine ? spaces + 1 : spaces; // the hyphen is one more level
        }

        const QVector<QStringRef> parts = line.split(QStringLiteral(": "));
        const bool keyValue = parts.size() == 2;
        const bool goesUp = indent < previousIndent;

        if (goesUp) {
            // One level per space; an indented first line must not lead above this node.
            for (int steps = previousIndent - indent; steps > 0 && current != this; --steps)
                current = current->m_parent;
        } else if (!keyValue && previousWasSection && indent == previousIndent && current != this) {
            current = current->m_parent; // the section before had no lines of its own
        }

        bool section = false;
        if (listLine && (goesUp || keyValue)) {
            current = current->addChild(withoutSpaces(parts.last()));
        } else if (keyValue) {
            current->setValue(withoutSpaces(parts.first()), parts.last().toString());
        } else {
            // The last character is normally the colon.
            current = current->addChild(withoutSpaces(line.chopped(1)));
            section = true;
        }

        previousIndent = indent;
        previousWasSection = section;
    }
}

SessionInfoNode* SessionInfoNode::addChild(const QString& name)
{
    SessionInfoNode*& slot = m_children[name];
    if (!slot) {
        slot = new SessionInfoNode;
        slot->m_parent = this;
    }
    return slot;
}

void SessionInfoNode::clearChildren()
{
    // Detach whole subtrees before deleting, so that a chain as deep as the text is long
    // is freed without recursion.
    std::vector<SessionInfoNode*> pending;
    for (SessionInfoNode* node : qAsConst(m_children))
        pending.push_back(node);
    m_children.clear();
    while (!pending.empty()) {
        SessionInfoNode* node = pending.back();
        pending.pop_back();
        for (SessionInfoNode* grandChild : qAsConst(node->m_children))
            pending.push_back(grandChild);
        node->m_children.clear();
        delete node;
    }
}

const SessionInfoNode* SessionInfoNode::child(const QString& name) const
{
    return m_children.value(name, nullptr);
}

const SessionInfoNode* SessionInfoNode::childAt(const QString& path) const
{
    const SessionInfoNode* node = this;
    const QVector<QStringRef> pieces = path.splitRef(QLatin1Char('/'));
    for (const QStringRef& piece : pieces) {
        node = node->child(piece.toString());
        if (!node)
            return nullptr;
    }
    return node;
}

QString SessionInfoNode::value(const QString& key) const
{
    return m_values.value(key);
}

QString SessionInfoNode::valueAt(const QString& path) const
{
    const int lastSlash = path.lastIndexOf(QLatin1Char('/'));
    if (lastSlash < 0)
        return value(path);
    const SessionInfoNode* node = childAt(path.left(lastSlash));
    return node ? node->value(path.mid(lastSlash + 1)) : QString();
}

void SessionInfoNode::setValue(const QString& key, const QString& value)
{
    m_values.insert(key, value);
}

void SessionInfoNode::setValueAt(const QString& path, const QString& value)
{
    SessionInfoNode* node = this;
    const QVector<QStringRef> pieces = path.splitRef(QLatin1Char('/'));
    for (int i = 0; i + 1 < pieces.size(); ++i)
        node = node->addChild(pieces.at(i).toString());
    node->setValue(pieces.last().toString(), value);
}
