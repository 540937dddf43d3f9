#include "platform/settingsdir.h"

#include <QtTest>

class TestSettingsDir : public QObject
{
    Q_OBJECT

private slots:
    void directory_data();
    void directory();
    void resolve_data();
    void resolve();
};

void TestSettingsDir::directory_data()
{
    QTest::addColumn<QByteArray>("configDir");
    QTest::addColumn<QByteArray>("xdg");
    QTest::addColumn<QByteArray>("home");
    QTest::addColumn<QString>("expected");
    QTest::newRow("explicit wins")
        << QByteArray("/tmp/zc/") << QByteArray("/x") << QByteArray("/h") << "/tmp/zc";
    QTest::newRow("xdg") << QByteArray() << QByteArray("/x") << QByteArray("/h") << "/x/zorvex5";
    QTest::newRow("relative xdg ignored")
        << QByteArray() << QByteArray("rel") << QByteArray("/h") << "/h/.config/zorvex5";
    QTest::newRow("home") << QByteArray() << QByteArray() << QByteArray("/h")
                          << "/h/.config/zorvex5";
}

void TestSettingsDir::directory()
{
    QFETCH(QByteArray, configDir);
    QFETCH(QByteArray, xdg);
    QFETCH(QByteArray, home);
    QFETCH(QString, expected);
    const auto set = [](const char *name, const QByteArray &v) {
        if (v.isNull())
            qunsetenv(name);
        else
            qputenv(name, v);
    };
    set("ZORVEX_CONFIG_DIR", configDir);
    set("XDG_CONFIG_HOME", xdg);
    set("HOME", home);
    QCOMPARE(SettingsDirectory(), expected);
}

void TestSettingsDir::resolve_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("bare") << "ZORVEX 5.INI"
                          << "/cfg/ZORVEX 5.INI";
    QTest::newRow("windows directory") << "C:\\WINDOWS\\ZORVEX 5.INI"
                                       << "/cfg/ZORVEX 5.INI";
    QTest::newRow("application profile") << "zorvex5.ini"
                                         << "/cfg/zorvex5.ini";
    QTest::newRow("absolute") << "/etc/x.ini"
                              << "/etc/x.ini";
}

void TestSettingsDir::resolve()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    qputenv("ZORVEX_CONFIG_DIR", "/cfg");
    QCOMPARE(ResolveProfilePath(name), expected);
}

QTEST_GUILESS_MAIN(TestSettingsDir)
#include "tst_settingsdir.moc"
