#include "extras/tipfile.h"
#include "testsupport.h"

#include <QBuffer>

namespace {
// A device that cannot go back, like a pipe.
class OneWayDevice : public QIODevice
{
public:
    explicit OneWayDevice(const QByteArray &data) : m_data(data) {}
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = qMin(maxSize, qint64(m_data.size() - m_offset));
        memcpy(data, m_data.constData() + m_offset, size_t(n));
        m_offset += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_data;
    qsizetype m_offset = 0;
};

QList<QByteArray> readTips(QIODevice &device, int count)
{
    QList<QByteArray> tips;
    for (int i = 0; i < count; ++i) {
        QByteArray tip;
        if (ReadTipLine(device, &tip) != TipRead::Tip)
            break;
        tips << tip;
    }
    return tips;
}
} // namespace

class TestTipFile : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { SetTipsDataDirectories(std::nullopt); }
    void tipLines_data();
    void tipLines();
    void skipsAndWrapsAround();
    void startsMidFileAndWraps();
    void longLinesComeInChunks();
    void fileWithoutTipsEnds_data();
    void fileWithoutTipsEnds();
    void oneWayDeviceCannotRewind();
    void timeStampForm_data();
    void timeStampForm();
    void lookupOrder();
};

void TestTipFile::tipLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("tip");
    QTest::newRow("tip") << QByteArray("Use armor.\n") << true;
    QTest::newRow("tip without line end") << QByteArray("x") << true;
    QTest::newRow("comment") << QByteArray("; a comment\n") << false;
    QTest::newRow("blank") << QByteArray(" indented\n") << false;
    QTest::newRow("tab") << QByteArray("\tindented\n") << false;
    QTest::newRow("empty") << QByteArray("\n") << false;
    QTest::newRow("empty CR LF") << QByteArray("\r\n") << false;
    QTest::newRow("nothing") << QByteArray() << false;
    QTest::newRow("semicolon later") << QByteArray("a;b\n") << true;
}

void TestTipFile::tipLines()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, tip);
    QCOMPARE(IsTipLine(line), tip);
}

void TestTipFile::skipsAndWrapsAround()
{
    QByteArray text("; head\none\n  indented\n\n\ttabbed\ntwo\n;tail\n");
    QBuffer buffer(&text);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QCOMPARE(readTips(buffer, 5), (QList<QByteArray>{"one\n", "two\n", "one\n", "two\n", "one\n"}));
}

void TestTipFile::startsMidFileAndWraps()
{
    QByteArray text("first\nsecond\nthird");
    QBuffer buffer(&text);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QVERIFY(buffer.seek(6));
    QCOMPARE(readTips(buffer, 3), (QList<QByteArray>{"second\n", "third", "first\n"}));
}

void TestTipFile::longLinesComeInChunks()
{
    // The second chunk starts with a blank, so it counts as an indented line of its own.
    QByteArray text = QByteArray(999, 'a') + QByteArray(" rest\n") + QByteArray(1000, 'b') + "\n";
    QBuffer buffer(&text);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    const QList<QByteArray> tips = readTips(buffer, 4);
    QCOMPARE(tips.size(), 4);
    QCOMPARE(tips[0], QByteArray(999, 'a'));
    QCOMPARE(tips[1], QByteArray(999, 'b'));
    QCOMPARE(tips[2], QByteArray("b\n"));
    QCOMPARE(tips[3], QByteArray(999, 'a'));
}

void TestTipFile::fileWithoutTipsEnds_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("start");
    QTest::newRow("empty") << QByteArray() << qint64(0);
    QTest::newRow("comments only") << QByteArray("; one\n  two\n\n\tthree\n") << qint64(0);
    QTest::newRow("comments, from the middle") << QByteArray("; one\n  two\n\n") << qint64(7);
}

void TestTipFile::fileWithoutTipsEnds()
{
    QFETCH(QByteArray, text);
    QFETCH(qint64, start);
    QBuffer buffer(&text);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QVERIFY(buffer.seek(start));
    QByteArray tip("unchanged");
    QCOMPARE(ReadTipLine(buffer, &tip), TipRead::NoTipLine);
    QCOMPARE(tip, QByteArray("unchanged"));
}

void TestTipFile::oneWayDeviceCannotRewind()
{
    OneWayDevice buffer("only\n");
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QByteArray tip;
    QCOMPARE(ReadTipLine(buffer, &tip), TipRead::Tip);
    QCOMPARE(ReadTipLine(buffer, &tip), TipRead::CannotRewind);
}

void TestTipFile::timeStampForm_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("text");
    QTest::newRow("one-digit day")
        << QDateTime(QDate(1999, 6, 9), QTime(4, 5, 6)) << "Wed Jun  9 04:05:06 1999";
    QTest::newRow("two-digit day")
        << QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)) << "Thu Dec 31 23:59:59 2026";
    QTest::newRow("sunday") << QDateTime(QDate(2024, 3, 10), QTime(0, 0, 0))
                            << "Sun Mar 10 00:00:00 2024";
}

void TestTipFile::timeStampForm()
{
    QFETCH(QDateTime, time);
    QFETCH(QString, text);
    QCOMPARE(TipTimeStampText(time), text);
    QCOMPARE(text.size(), 24);
}

void TestTipFile::lookupOrder()
{
    QTemporaryDir work, data1, data2;
    const QString saved = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work.path()));
    auto put = [](const QString &dir) {
        QFile f(dir + QStringLiteral("/tips.txt"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("tip\n");
    };
    SetTipsDataDirectories(QStringList{data1.path(), data2.path()});
    QCOMPARE(LocateTipsFile(), QString());
    put(data2.path());
    QCOMPARE(LocateTipsFile(), data2.path() + QStringLiteral("/tips.txt"));
    put(data1.path());
    QCOMPARE(LocateTipsFile(), data1.path() + QStringLiteral("/tips.txt"));
    put(work.path());
    QCOMPARE(LocateTipsFile(), QStringLiteral("tips.txt"));
    QVERIFY(QDir::setCurrent(saved));
}

QTEST_GUILESS_MAIN(TestTipFile)
#include "tst_tipfile.moc"
