#include "sessioninfo/sessioninfonode.h"

#include <QtTest>

namespace {

// The tree as one line: values as key="value" first, then children as name{...}, both in
// map order. A child whose parent pointer is wrong is marked, so every row checks the links.
QString dump(const SessionInfoNode& node)
{
    QStringList items;
    for (auto it = node.values().cbegin(); it != node.values().cend(); ++it)
        items.append(it.key() + QStringLiteral("=\"") + it.value() + QLatin1Char('"'));
    for (auto it = node.children().cbegin(); it != node.children().cend(); ++it) {
        const QString mark = it.value()->parent() == &node ? QString() : QStringLiteral("!parent");
        items.append(it.key() + mark + QLatin1Char('{') + dump(*it.value()) + QLatin1Char('}'));
    }
    return items.join(QLatin1Char(';'));
}

} // namespace

class tst_SessionInfoNode : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("expected");
        using B = QByteArray;

        QTest::newRow("null pointer") << B() << QString();
        QTest::newRow("schematic example") << B("Section:\n Key: some value\n Inner:\n  Deep: 25.00 C\n"
                          " List:\n - Id: 7\n   Field: text one\n - Id: 8\n   Field: text two\n")
            << "Section{Key=\"some value\";Inner{Deep=\"25.00 C\"};List{7{Field=\"text one\"};8{Field=\"text two\"}}}";
        QTest::newRow("document markers") << B("---\nA:\n B: 1\n...\n") << "--{};..{};A{B=\"1\"}";
        QTest::newRow("CR LF keeps CR in values and colons in names") << B("A:\r\n B: 1\r\n") << "A:{B=\"1\r\"}";
        QTest::newRow("empty value and empty section") << B("B: \nA:\n") << "B=\"\";A{}";
        QTest::newRow("two separators make a section") << B("A: b: c\n") << "A:b:{}";
        QTest::newRow("list, two separators, shallower") << B("L:\n - a: b\n   X: 1\n - k: v: w\n") << "L{b{X=\"1\"};w{}}";
        QTest::newRow("list, two separators, as deep") << B("L:\n - k: v: w\n") << "L{-k:v:{}}";
        QTest::newRow("list, no separator, as deep") << B("L:\n - word\n") << "L{-wor{}}";
        QTest::newRow("list, no separator, shallower") << B("L:\n - a: 1\n   X: 2\n - word\n") << "L{-word{};1{X=\"2\"}}";
        QTest::newRow("two list lines in a row nest") << B("L:\n - a: 1\n - a: 2\n") << "L{1{2{}}}";
        QTest::newRow("empty section is closed") << B("A:\nB:\n C: 1\n") << "A{};B{C=\"1\"}";
        QTest::newRow("value as deep as the section before goes into it") << B("A:\nK: v\n") << "A{K=\"v\"}";
        QTest::newRow("repeated key keeps the last value") << B("K: 1\nK: 2\n") << "K=\"2\"";
        QTest::newRow("repeated section merges") << B("A:\n X: 1\nB: 2\nA:\n Y: 3\n") << "B=\"2\";A{X=\"1\";Y=\"3\"}";
        QTest::newRow("line of spaces after a value is a section") << B("A:\n X: 1\n   \nY: 2\n") << "{Y=\"2\"};A{X=\"1\"}";
        QTest::newRow("line of spaces after a list line is an element") << B("L:\n - a: 1\n  \n") << "{};L{1{}}";
        QTest::newRow("empty lines change no state") << B("A:\n\nB:\n") << "A{};B{}";
        QTest::newRow("spaces leave names, not values") << B("Two Words:\n Some Key: a  b \n") << "TwoWords{SomeKey=\"a  b \"}";
        QTest::newRow("tab is not indentation") << B("A:\n\tB: 1\n") << "A{\tB=\"1\"}";
        QTest::newRow("indented first line stays at the root") << B("   A: 1\nB: 2\n") << "A=\"1\";B=\"2\"";
        QTest::newRow("text ends at the first NUL") << B("A: 1\n\0B: 2\n", 12) << "A=\"1\"";
        QTest::newRow("bytes are Latin-1") << B("K: \xe9t\xe9\n") << QStringLiteral(u"K=\"\u00e9t\u00e9\"");
        // Neither a line's length nor the depth of the indentation has a limit of its own.
        QTest::newRow("indentation of a million spaces") << "A:\n" + B(1000000, ' ') + "B: 1\n" << "A{B=\"1\"}";
        QTest::newRow("line of 1 MiB") << "A:\n B: " + B(1 << 20, 'v') + "\n" << "A{B=\"" + QString(1 << 20, 'v') + "\"}";
        B nested; // 2000 sections, each one space deeper
        for (int level = 0; level < 2000; ++level)
            nested += B(level, ' ') + "N:\n";
        QTest::newRow("2000 nested sections") << nested + B(2000, ' ') + "D: 1\n"
                                              << QStringLiteral("N{").repeated(2000) + "D=\"1\"" + QString(2000, '}');
    }

    void parse()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, expected);

        SessionInfoNode root;
        root.parse(text.isNull() ? nullptr : text.constData());
        QCOMPARE(dump(root), expected);
    }

    void clearChildren()
    {
        // List lines in a row nest one level each: freeing must not recurse once per level.
        QByteArray text("K: v\n");
        for (int i = 0; i < 500000; ++i)
            text += "- a: 1\n";
        SessionInfoNode root;
        root.parse(text.constData());
        int depth = 0;
        for (const SessionInfoNode* node = &root; !node->children().isEmpty(); ++depth)
            node = node->children().first();
        QCOMPARE(depth, 500000);
        root.clearChildren();
        QCOMPARE(dump(root), QStringLiteral("K=\"v\""));
    }

    void query_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("node");  // dump of childAt's node, null when not found
        QTest::addColumn<QString>("value"); // valueAt, null when absent

        QTest::newRow("section") << "WeekendInfo/WeekendOptions" << "WeatherTemp=\"25.00 C\"" << QString();
        QTest::newRow("key is not a child") << "WeekendInfo/TrackName" << QString() << "x";
        QTest::newRow("one piece reads this node") << "Top" << QString() << "t";
        QTest::newRow("empty value is not null") << "WeekendInfo/Empty" << QString() << "";
        QTest::newRow("element by its first value") << "DriverInfo/Drivers/007" << "UserName=\"Bond\"" << QString();
        QTest::newRow("007 is not 7") << "DriverInfo/Drivers/7/UserName" << QString() << QString();
        QTest::newRow("first field of an element is not stored") << "DriverInfo/Drivers/9/CarIdx" << QString() << QString();
        QTest::newRow("missing node on the way") << "Nope/TrackName" << QString() << QString();
        QTest::newRow("empty path is the empty name") << "" << "K=\"under empty name\"" << QString();
        QTest::newRow("leading slash reaches the empty name") << "/K" << QString() << "under empty name";
    }

    void query()
    {
        QFETCH(QString, path);
        QFETCH(QString, node);
        QFETCH(QString, value);

        SessionInfoNode root;
        root.parse("Top: t\nWeekendInfo:\n TrackName: x\n WeekendOptions:\n  WeatherTemp: 25.00 C\n Empty: \n"
                   "DriverInfo:\n Drivers:\n - CarIdx: 007\n   UserName: Bond\n - CarIdx: +8\n   UserName: Plus\n"
                   " - CarIdx: 9\n   UserName: Nine\n");
        root.addChild(QString())->setValue(QStringLiteral("K"), QStringLiteral("under empty name"));

        const SessionInfoNode* found = root.childAt(path);
        QCOMPARE(found ? dump(*found) : QString(), node);
        QCOMPARE(root.valueAt(path), value);
        QCOMPARE(root.valueAt(path).isNull(), value.isNull());
    }

    void edit_data()
    {
        QTest::addColumn<QByteArrayList>("texts"); // parsed in turn
        QTest::addColumn<QString>("path");         // set to "v" unless null
        QTest::addColumn<QString>("expected");

        QTest::newRow("parse adds to the tree")
            << QByteArrayList{"K: v\nA:\n X: 1\n", "A:\n Y: 2\n"} << QString() << "K=\"v\";A{X=\"1\";Y=\"2\"}";
        QTest::newRow("setValueAt creates missing nodes") << QByteArrayList() << "A/B/C" << "A{B{C=\"v\"}}";
        QTest::newRow("setValueAt with one piece sets this node") << QByteArrayList() << "C" << "C=\"v\"";
        QTest::newRow("setValueAt with an empty piece") << QByteArrayList() << "A//C" << "A{{C=\"v\"}}";
        QTest::newRow("setValueAt reuses existing nodes")
            << QByteArrayList{"A:\n C: old\n D: 1\n"} << "A/C" << "A{C=\"v\";D=\"1\"}";
    }

    void edit()
    {
        QFETCH(QByteArrayList, texts);
        QFETCH(QString, path);
        QFETCH(QString, expected);

        SessionInfoNode root;
        for (const QByteArray& text : texts)
            root.parse(text.constData());
        if (!path.isNull())
            root.setValueAt(path, QStringLiteral("v"));
        QCOMPARE(dump(root), expected);
    }
};

QTEST_GUILESS_MAIN(tst_SessionInfoNode)
#include "tst_sessioninfonode.moc"
