#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>

// Points the settings directory at a fresh temporary directory for one test.
class ScratchSettings
{
public:
    ScratchSettings() { qputenv("ZORVEX_CONFIG_DIR", m_dir.path().toLocal8Bit()); }
    QString path(const QString &name = QStringLiteral("ZORVEX 5.INI")) const
    {
        return m_dir.path() + QLatin1Char('/') + name;
    }
    QByteArray read(const QString &name = QStringLiteral("ZORVEX 5.INI")) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void write(const QByteArray &bytes, const QString &name = QStringLiteral("ZORVEX 5.INI")) const
    {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(bytes), bytes.size());
    }
    QString dir() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// Points the job runner at the fake engine (tests/zorvex-cmd/fakepgp.cpp) for one test: no
// terminal, the engine's log in logFile, and none of the knobs an earlier test turned.
inline void UseFakePgp(const char *fakePgp, const QString &logFile)
{
    qputenv("ZORVEX_TERMINAL", "none");
    qputenv("ZORVEX_PGP", fakePgp);
    qputenv("FAKE_PGP_LOG", QFile::encodeName(logFile));
    for (const char *knob : {"FAKE_PGP_SLEEP_MS", "FAKE_PGP_KILL_PARENT", "FAKE_PGP_OUTPUT",
                             "FAKE_PGP_EXIT", "FAKE_PGP_UNLINK", "FAKE_PGP_FAIL_ON",
                             "FAKE_PGP_ERROR", "FAKE_PGP_CRASH", "FAKE_PGP_CREATE"})
        qunsetenv(knob);
}

// The surroundings of one job test: its own settings, an empty current directory where the job
// files go, and the fake engine logging to "log" there. The old current directory comes back
// when it goes.
class FakePgpWorkspace
{
public:
    explicit FakePgpWorkspace(const char *fakePgp)
        : m_startDir(QDir::currentPath()), m_entered(QDir::setCurrent(m_dir.path()))
    {
        UseFakePgp(fakePgp, file(QStringLiteral("log")));
    }
    ~FakePgpWorkspace() { QDir::setCurrent(m_startDir); }
    FakePgpWorkspace(const FakePgpWorkspace &) = delete;
    FakePgpWorkspace &operator=(const FakePgpWorkspace &) = delete;

    bool entered() const { return m_entered; }
    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }
    QByteArray bytes(const QString &name) const
    {
        QFile f(file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    const ScratchSettings &settings() const { return m_settings; }

private:
    ScratchSettings m_settings;
    QTemporaryDir m_dir;
    QString m_startDir;
    bool m_entered;
};
