#pragma once

// What the end-to-end tests share: where the batch interpreter and the engine are, the fixture
// keys of tests/fixtures (see its README), and a throw-away GnuPG home that holds them.

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace engine {

// How a process ended: its exit code (-1 when it crashed, hung or never started) and output.
struct ProcessRun
{
    int code = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a program in `dir` with `input` on its standard input, and waits (two minutes at most).
inline ProcessRun
runProcess(const QString &program, const QStringList &args, const QString &dir,
           const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
           const QByteArray &input = {})
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(dir);
    p.start(program, args);
    ProcessRun r;
    if (!p.waitForStarted(10000))
        return r;
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

inline QString fixtureDir()
{
    return qEnvironmentVariable("ZORVEX_SOURCE_DIR") + QStringLiteral("/tests/fixtures");
}

// A tool built into $ZORVEX_TOOLS_DIR: the directory itself, or the tool's own build folder
// inside it (which has the tool's name, so only an executable file counts).
inline QString findTool(const QString &name)
{
    const QString dir = qEnvironmentVariable("ZORVEX_TOOLS_DIR");
    for (const QString &path :
         {dir + QLatin1Char('/') + name, dir + QLatin1Char('/') + name + QLatin1Char('/') + name}) {
        const QFileInfo info(path);
        if (info.isFile() && info.isExecutable())
            return info.absoluteFilePath();
    }
    return QString();
}

// Why the engine tests cannot run here, or empty when they can.
inline QString missingEngine()
{
    QString missing;
    for (const QString &tool : {QStringLiteral("zorvex-cmd"), QStringLiteral("zorvex-pgp")}) {
        if (findTool(tool).isEmpty())
            missing += QStringLiteral(" %1 (not built in %2)")
                           .arg(tool, qEnvironmentVariable("ZORVEX_TOOLS_DIR"));
    }
    if (QStandardPaths::findExecutable(QStringLiteral("gpg")).isEmpty())
        missing += QStringLiteral(" gpg");
    if (QStandardPaths::findExecutable(QStringLiteral("gpgconf")).isEmpty())
        missing += QStringLiteral(" gpgconf");
    if (QDir(fixtureDir()).entryList({QStringLiteral("*.asc")}, QDir::Files).isEmpty())
        missing += QStringLiteral(" the fixture keys in ") + fixtureDir();
    return missing.isEmpty() ? QString() : QStringLiteral("missing:") + missing;
}

// One fixture key pair; the pass phrases are those the README lists.
struct FixtureKey
{
    QString name; // file stem: alice, bob, carol, dave
    QString passphrase;

    QString fingerprint() const
    {
        QFile f(fixtureDir() + QStringLiteral("/fingerprints.txt"));
        if (!f.open(QIODevice::ReadOnly))
            return QString();
        while (!f.atEnd()) {
            const QList<QByteArray> words = f.readLine().simplified().split(' ');
            if (words.size() == 2 && QString::fromLatin1(words[0]) == name)
                return QString::fromLatin1(words[1]);
        }
        return QString();
    }
    // As the program's name lists append it: "0x" and the last eight hex digits.
    QString keyId() const { return QStringLiteral("0x") + fingerprint().right(8); }
};

// RSA, plain ASCII user ID, a secret key that signs and decrypts.
inline FixtureKey alice()
{
    return {QStringLiteral("alice"), QStringLiteral("alice pass")};
}
inline FixtureKey bob()
{
    return {QStringLiteral("bob"), QStringLiteral("bob pass")};
}

// A GnuPG home of its own under /tmp (short, since the agent's socket lives in it), with the
// agent told to take pass phrases from the engine. Sets GNUPGHOME while it lives, stops its
// agent and removes everything when it goes, and puts the previous GNUPGHOME back.
class GnupgHome
{
public:
    GnupgHome()
        : m_dir(QStringLiteral("/tmp/zvg-XXXXXX")), m_previous(qgetenv("GNUPGHOME")),
          m_hadPrevious(qEnvironmentVariableIsSet("GNUPGHOME"))
    {
        if (!m_dir.isValid())
            return;
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner);
        QFile conf(m_dir.filePath(QStringLiteral("gpg-agent.conf")));
        if (conf.open(QIODevice::WriteOnly))
            conf.write("allow-loopback-pinentry\n");
        qputenv("GNUPGHOME", QFile::encodeName(m_dir.path()));
    }
    ~GnupgHome()
    {
        if (m_dir.isValid())
            QProcess::execute(QStringLiteral("gpgconf"),
                              {QStringLiteral("--homedir"), m_dir.path(), QStringLiteral("--kill"),
                               QStringLiteral("gpg-agent")});
        if (m_hadPrevious)
            qputenv("GNUPGHOME", m_previous);
        else
            qunsetenv("GNUPGHOME");
    }
    GnupgHome(const GnupgHome &) = delete;
    GnupgHome &operator=(const GnupgHome &) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }

    // gpg --batch in this home; the exit code in *exitCode (-1 when it did not run to its end).
    QByteArray gpg(const QStringList &args, const QByteArray &input = QByteArray(),
                   int *exitCode = nullptr) const
    {
        QProcess p;
        p.start(QStringLiteral("gpg"),
                QStringList{QStringLiteral("--homedir"), m_dir.path(), QStringLiteral("--batch")} +
                    args);
        int code = -1;
        if (p.waitForStarted()) {
            p.write(input);
            p.closeWriteChannel();
            if (p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit)
                code = p.exitCode();
        }
        if (exitCode)
            *exitCode = code;
        return p.readAllStandardOutput();
    }

    // Imports all fixture key files (public and secret halves); true when gpg was content.
    bool importFixtures() const
    {
        const QDir dir(fixtureDir());
        QStringList args{QStringLiteral("--import")};
        for (const QString &f : dir.entryList({QStringLiteral("*.asc")}, QDir::Files, QDir::Name))
            args << dir.filePath(f);
        int code = -1;
        gpg(args, {}, &code);
        return code == 0;
    }

    // Imported keys are not certified, and the engine asks before encrypting to such a key.
    // Nobody can answer a windowless job, so the tests trust their own keys outright.
    bool trustUltimately(const QList<FixtureKey> &keys) const
    {
        QByteArray trust;
        for (const FixtureKey &key : keys)
            trust += key.fingerprint().toLatin1() + ":6:\n";
        int code = -1;
        gpg({QStringLiteral("--import-ownertrust")}, trust, &code);
        return code == 0;
    }

    // A new key without a pass phrase, made `age` ago and expiring as given ("never", "2d");
    // returns its fingerprint.
    QString makeKey(const QString &userId, const QString &expires = QStringLiteral("never"),
                    const QString &age = QString()) const
    {
        const QStringList faked = fakedTime(age);
        gpg(faked + QStringList{QStringLiteral("--pinentry-mode"), QStringLiteral("loopback"),
                                QStringLiteral("--passphrase="), QStringLiteral("--quick-gen-key"),
                                userId, QStringLiteral("ed25519"), QStringLiteral("sign"),
                                expires});
        const QList<QByteArray> lines =
            gpg({QStringLiteral("--with-colons"), QStringLiteral("--list-keys"), userId})
                .split('\n');
        for (const QByteArray &line : lines) {
            if (line.startsWith("fpr:"))
                return QString::fromLatin1(line.split(':').value(9));
        }
        return QString();
    }
    // `text` signed by the key, `age` ago (a message; with clearsign a clear-signed text).
    QByteArray sign(const QString &key, const QString &passphrase, const QByteArray &text,
                    const QStringList &how, const QString &age = QString()) const
    {
        return gpg(fakedTime(age) +
                       QStringList{QStringLiteral("--pinentry-mode"), QStringLiteral("loopback"),
                                   QStringLiteral("--passphrase=") + passphrase,
                                   QStringLiteral("-u"), key} +
                       how,
                   text);
    }

private:
    static QStringList fakedTime(const QString &age)
    {
        if (age.isEmpty())
            return {};
        return {QStringLiteral("--faked-system-time"),
                QString::number(QDateTime::currentSecsSinceEpoch() - age.toLongLong())};
    }

    QTemporaryDir m_dir;
    QByteArray m_previous;
    bool m_hadPrevious;
};

} // namespace engine
