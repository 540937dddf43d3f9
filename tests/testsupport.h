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
