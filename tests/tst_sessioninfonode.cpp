#include "sessioninfo/sessioninfonode.h"
#include "support/realrecordings.h"

#include <QFileInfo>
#include <QtTest>

#include <algorithm>
#include <memory>

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

// The names from the root down to the node, each behind a "/".
QString pathOf(const SessionInfoNode* node)
{
    QString path;
    for (; node->parent(); node = node->parent())
        path.prepend(QLatin1Char('/') + node->parent()->children().key(const_cast<SessionInfoNode*>(node)));
    return path;
}

const char queryText[] = "Top: t\n"
                         "WeekendInfo:\n"
                         " TrackName: x\n"
                         " WeekendOptions:\n"
                         "  WeatherTemp: 25.00 C\n"
                         " Empty: \n"
                         "DriverInfo:\n"
                         " Drivers:\n"
                         " - CarIdx: 007\n"
                         "   UserName: Bond\n"
                         " - CarIdx: +8\n"
                         "   UserName: Plus\n"
                         " - CarIdx: 9\n"
                         "   UserName: Nine\n";

void buildQueryTree(SessionInfoNode& root)
{
    root.parse(queryText);
    root.addChild(QString())->setValue(QStringLiteral("K"), QStringLiteral("under empty name"));
}

} // namespace

class tst_SessionInfoNode : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void parseAddsToTree();
    void deepChainIsFreed();
    void clearChildrenKeepsValues();
    void childAt_data();
    void childAt();
    void valueAt_data();
    void valueAt();
    void setValueAt_data();
    void setValueAt();
    void realRecording_data();
    void realRecording();
};

void tst_SessionInfoNode::parse_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("null pointer") << QByteArray() << QString();
    QTest::newRow("empty text") << QByteArray("") << QString();
    QTest::newRow("schematic example")
        << QByteArray("Section:\n"
                      " Key: some value\n"
                      " Inner:\n"
                      "  Deep: 25.00 C\n"
                      " List:\n"
                      " - Id: 7\n"
                      "   Field: text one\n"
                      " - Id: 8\n"
                      "   Field: text two\n")
        << QStringLiteral("Section{Key=\"some value\";Inner{Deep=\"25.00 C\"};"
                          "List{7{Field=\"text one\"};8{Field=\"text two\"}}}");
    QTest::newRow("document markers")
        << QByteArray("---\nA:\n B: 1\n...\n") << QStringLiteral("--{};..{};A{B=\"1\"}");
    QTest::newRow("CR LF keeps CR in values and colons in names")
        << QByteArray("A:\r\n B: 1\r\n") << QStringLiteral("A:{B=\"1\r\"}");
    QTest::newRow("key and colon is a section") << QByteArray("A:\n") << QStringLiteral("A{}");
    QTest::newRow("key, colon and space is an empty value")
        << QByteArray("B: \nA:\n") << QStringLiteral("B=\"\";A{}");
    QTest::newRow("two separators make a section")
        << QByteArray("A: b: c\n") << QStringLiteral("A:b:{}");
    QTest::newRow("list line with two separators, shallower")
        << QByteArray("L:\n - a: b\n   X: 1\n - k: v: w\n") << QStringLiteral("L{b{X=\"1\"};w{}}");
    QTest::newRow("list line with two separators, as deep")
        << QByteArray("L:\n - k: v: w\n") << QStringLiteral("L{-k:v:{}}");
    QTest::newRow("list line without separator, as deep")
        << QByteArray("L:\n - word\n") << QStringLiteral("L{-wor{}}");
    QTest::newRow("list line without separator, shallower")
        << QByteArray("L:\n - a: 1\n   X: 2\n - word\n") << QStringLiteral("L{-word{};1{X=\"2\"}}");
    QTest::newRow("two list lines in a row nest")
        << QByteArray("L:\n - a: 1\n - a: 2\n") << QStringLiteral("L{1{2{}}}");
    QTest::newRow("empty section is closed")
        << QByteArray("A:\nB:\n C: 1\n") << QStringLiteral("A{};B{C=\"1\"}");
    QTest::newRow("value as deep as the section before goes into it")
        << QByteArray("A:\nK: v\n") << QStringLiteral("A{K=\"v\"}");
    QTest::newRow("repeated key keeps the last value")
        << QByteArray("K: 1\nK: 2\n") << QStringLiteral("K=\"2\"");
    QTest::newRow("repeated section merges")
        << QByteArray("A:\n X: 1\nB: 2\nA:\n Y: 3\n") << QStringLiteral("B=\"2\";A{X=\"1\";Y=\"3\"}");
    QTest::newRow("repeated element merges")
        << QByteArray("L:\n - Id: 7\n   F: a\n - Id: 7\n   G: b\n")
        << QStringLiteral("L{7{F=\"a\";G=\"b\"}}");
    QTest::newRow("line of spaces after a value is a section")
        << QByteArray("A:\n X: 1\n   \nY: 2\n") << QStringLiteral("{Y=\"2\"};A{X=\"1\"}");
    QTest::newRow("line of spaces after a list line is an element")
        << QByteArray("L:\n - a: 1\n  \n") << QStringLiteral("{};L{1{}}");
    QTest::newRow("empty lines change no state")
        << QByteArray("A:\n\nB:\n") << QStringLiteral("A{};B{}");
    QTest::newRow("spaces leave names and keys, not values")
        << QByteArray("Two Words:\n Some Key: a  b \n") << QStringLiteral("TwoWords{SomeKey=\"a  b \"}");
    QTest::newRow("tab is not indentation")
        << QByteArray("A:\n\tB: 1\n") << QStringLiteral("A{\tB=\"1\"}");
    QTest::newRow("indented first line stays at the root")
        << QByteArray("   A: 1\nB: 2\n") << QStringLiteral("A=\"1\";B=\"2\"");
    QTest::newRow("text ends at the first NUL")
        << QByteArray("A: 1\n\0B: 2\n", 12) << QStringLiteral("A=\"1\"");
    QTest::newRow("bytes are Latin-1")
        << QByteArray("K: \xe9t\xe9\n") << QStringLiteral(u"K=\"\u00e9t\u00e9\"");
    QTest::newRow("100k spaces of indentation")
        << QByteArray(100000, ' ') + QByteArray("A: 1\nB: 2\n") << QStringLiteral("A=\"1\";B=\"2\"");
}

void tst_SessionInfoNode::parse()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, expected);

    SessionInfoNode root;
    root.parse(text.isNull() ? nullptr : text.constData());
    QCOMPARE(dump(root), expected);
    QVERIFY(!root.parent());
}

void tst_SessionInfoNode::parseAddsToTree()
{
    SessionInfoNode root;
    root.parse("A:\n X: 1\n");
    root.parse("A:\n Y: 2\n");
    QCOMPARE(dump(root), QStringLiteral("A{X=\"1\";Y=\"2\"}"));
}

void tst_SessionInfoNode::deepChainIsFreed()
{
    // List lines in a row nest, so every line is one level deeper: the destructor must
    // not recurse once per level.
    const int depth = 500000;
    QByteArray text;
    for (int i = 0; i < depth; ++i)
        text += "- a: 1\n";

    auto root = std::make_unique<SessionInfoNode>();
    root->parse(text.constData());
    int reached = 0;
    for (const SessionInfoNode* node = root.get(); !node->children().isEmpty(); ++reached)
        node = node->children().first();
    QCOMPARE(reached, depth);
    root.reset();
}

void tst_SessionInfoNode::clearChildrenKeepsValues()
{
    SessionInfoNode root;
    root.parse("K: v\nA:\n B:\n  C: 1\n");
    root.clearChildren();
    QCOMPARE(dump(root), QStringLiteral("K=\"v\""));
    root.parse("A:\n D: 2\n");
    QCOMPARE(dump(root), QStringLiteral("K=\"v\";A{D=\"2\"}"));
}

void tst_SessionInfoNode::childAt_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected"); // names from the root, null when not found

    QTest::newRow("one piece") << "WeekendInfo" << "/WeekendInfo";
    QTest::newRow("two pieces") << "WeekendInfo/WeekendOptions" << "/WeekendInfo/WeekendOptions";
    QTest::newRow("element by its first value") << "DriverInfo/Drivers/007" << "/DriverInfo/Drivers/007";
    QTest::newRow("element with sign") << "DriverInfo/Drivers/+8" << "/DriverInfo/Drivers/+8";
    QTest::newRow("007 is not 7") << "DriverInfo/Drivers/7" << QString();
    QTest::newRow("+8 is not 8") << "DriverInfo/Drivers/8" << QString();
    QTest::newRow("a key is not a child") << "WeekendInfo/TrackName" << QString();
    QTest::newRow("names are case-sensitive") << "weekendinfo" << QString();
    QTest::newRow("missing first piece") << "Nope/WeekendOptions" << QString();
    QTest::newRow("empty path is the empty name") << "" << "/";
    QTest::newRow("double slash") << "WeekendInfo//WeekendOptions" << QString();
    QTest::newRow("trailing slash") << "WeekendInfo/" << QString();
    QTest::newRow("lone slash") << "/" << QString();
}

void tst_SessionInfoNode::childAt()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);

    SessionInfoNode root;
    buildQueryTree(root);
    const SessionInfoNode* node = root.childAt(path);
    QCOMPARE(node != nullptr, !expected.isNull());
    if (node)
        QCOMPARE(pathOf(node), expected);
}

void tst_SessionInfoNode::valueAt_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected"); // null when absent

    QTest::newRow("one piece reads this node") << "Top" << "t";
    QTest::newRow("two pieces") << "WeekendInfo/TrackName" << "x";
    QTest::newRow("three pieces") << "WeekendInfo/WeekendOptions/WeatherTemp" << "25.00 C";
    QTest::newRow("empty value") << "WeekendInfo/Empty" << "";
    QTest::newRow("missing key") << "WeekendInfo/Nope" << QString();
    QTest::newRow("missing node on the way") << "Nope/TrackName" << QString();
    QTest::newRow("key of a child is not read here") << "TrackName" << QString();
    QTest::newRow("element by its first value") << "DriverInfo/Drivers/007/UserName" << "Bond";
    QTest::newRow("007 is not 7") << "DriverInfo/Drivers/7/UserName" << QString();
    QTest::newRow("+8 is not 8") << "DriverInfo/Drivers/8/UserName" << QString();
    QTest::newRow("first field of an element is not stored") << "DriverInfo/Drivers/9/CarIdx" << QString();
    QTest::newRow("double slash") << "WeekendInfo//TrackName" << QString();
    QTest::newRow("trailing slash") << "WeekendInfo/" << QString();
    QTest::newRow("leading slash reaches the empty name") << "/K" << "under empty name";
    QTest::newRow("empty path") << "" << QString();
}

void tst_SessionInfoNode::valueAt()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);

    SessionInfoNode root;
    buildQueryTree(root);
    const QString value = root.valueAt(path);
    QCOMPARE(value, expected);
    if (expected.isNull())
        QVERIFY(value.isNull());
}

void tst_SessionInfoNode::setValueAt_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");

    QTest::newRow("creates missing nodes") << QByteArray() << "A/B/C" << "A{B{C=\"v\"}}";
    QTest::newRow("one piece sets this node") << QByteArray() << "C" << "C=\"v\"";
    QTest::newRow("empty piece makes the empty name") << QByteArray() << "A//C" << "A{{C=\"v\"}}";
    QTest::newRow("existing nodes are reused")
        << QByteArray("A:\n C: old\n D: 1\n") << "A/C" << "A{C=\"v\";D=\"1\"}";
}

void tst_SessionInfoNode::setValueAt()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, path);
    QFETCH(QString, expected);

    SessionInfoNode root;
    root.parse(before.constData());
    root.setValueAt(path, QStringLiteral("v"));
    QCOMPARE(root.valueAt(path), QStringLiteral("v"));
    QCOMPARE(dump(root), expected);
}

void tst_SessionInfoNode::realRecording_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("track");
    QTest::addColumn<QString>("trackLength");
    QTest::addColumn<int>("carIdx");
    QTest::addColumn<int>("drivers");
    QTest::addColumn<QString>("carScreenName");
    QTest::addColumn<QString>("sessionType");

    const auto row = [](const char* file, const char* track, const char* length, int carIdx,
                        int drivers, const char* car, const char* session) {
        QTest::newRow(file) << QString::fromLatin1(file) << QString::fromLatin1(track)
                            << QString::fromLatin1(length) << carIdx << drivers
                            << QString::fromLatin1(car) << QString::fromLatin1(session);
    };
    row("audir8gt3_indianapolis_testing_tiny.ibt", "Indianapolis Motor Speedway", "3.85 km", 0, 1,
        "Audi R8 LMS", "Offline Testing");
    row("formulavee_tsukuba1kouter_testing.ibt", "Tsukuba Circuit", "0.68 km", 0, 1, "Formula Vee",
        "Offline Testing");
    row("mercedesamggt4_sebring_raceevent_practice.ibt", "Sebring International Raceway", "5.7938 km",
        4, 11, "Mercedes AMG GT4", "Practice");
    row("mercedesamggt4_spielberg_testing_outlap.ibt", "Red Bull Ring", "4.28 km", 0, 1,
        "Mercedes AMG GT4", "Offline Testing");
    row("mercedesw13_spielberg_testing_fragment.ibt", "Red Bull Ring", "4.28 km", 0, 1,
        "Mercedes-AMG W13 E Performance", "Offline Testing");
    row("skmodified_langley_testing.ibt", "Langley Speedway", "0.58 km", 0, 1, "Modified - SK",
        "Offline Testing");
    row("skmodifiedtour_martinsville_practice.ibt", "Martinsville Speedway", "0.79 km", 6, 9,
        "Modified - Tour", "Practice");
}

void tst_SessionInfoNode::realRecording()
{
    QFETCH(QString, file);
    QFETCH(QString, track);
    QFETCH(QString, trackLength);
    QFETCH(int, carIdx);
    QFETCH(int, drivers);
    QFETCH(QString, carScreenName);
    QFETCH(QString, sessionType);

    const QStringList files = RealRecordings::files();
    if (files.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no real recordings in ") + RealRecordings::directory()));
    const auto found = std::find_if(files.cbegin(), files.cend(),
                                    [&](const QString& path) { return QFileInfo(path).fileName() == file; });
    if (found == files.cend())
        QSKIP("this recording is not in the folder");

    const QByteArray text = RealRecordings::sessionInfoText(*found);
    QVERIFY(!text.isEmpty());
    SessionInfoNode root;
    root.parse(text.constData());

    const SessionInfoNode* weekend = root.child(QStringLiteral("WeekendInfo"));
    QVERIFY(weekend);
    QVERIFY2(weekend->value(QStringLiteral("TrackDisplayName")).startsWith(track),
             qPrintable(weekend->value(QStringLiteral("TrackDisplayName"))));
    QCOMPARE(weekend->value(QStringLiteral("TrackLength")), trackLength);

    const SessionInfoNode* driverInfo = root.child(QStringLiteral("DriverInfo"));
    QVERIFY(driverInfo);
    QCOMPARE(driverInfo->value(QStringLiteral("DriverCarIdx")).toInt(), carIdx);
    const SessionInfoNode* list = driverInfo->child(QStringLiteral("Drivers"));
    QVERIFY(list);
    QCOMPARE(list->children().size(), drivers);
    QCOMPARE(driverInfo->valueAt(QStringLiteral("Drivers/") + QString::number(carIdx)
                                 + QStringLiteral("/CarScreenName")),
             carScreenName);

    QCOMPARE(root.valueAt(QStringLiteral("SessionInfo/Sessions/0/SessionType")), sessionType);
}

QTEST_GUILESS_MAIN(tst_SessionInfoNode)
#include "tst_sessioninfonode.moc"
