#include "keyringreader.h"

#include "platform/launcher.h"

#include <QFileInfo>
#include <QStandardPaths>

QString KeyRingReader::EngineProgram()
{
    const QString name = QStringLiteral("zorvex-pgp");
    const QString chosen = qEnvironmentVariable("ZORVEX_PGP");
    if (!chosen.isEmpty())
        return chosen.contains(QLatin1Char('/')) ? chosen : QStandardPaths::findExecutable(chosen);
    const QString interpreter = FindBatchInterpreter();
    if (!interpreter.isEmpty()) {
        const QFileInfo beside(QFileInfo(interpreter).absolutePath() + QLatin1Char('/') + name);
        if (beside.isExecutable())
            return beside.absoluteFilePath();
    }
    return QStandardPaths::findExecutable(name);
}

void KeyRingReader::start()
{
    if (m_process) {
        QProcess *old = m_process;
        old->disconnect(this);
        connect(old, &QProcess::finished, old, &QObject::deleteLater);
        old->kill();
    }
    m_process = new QProcess(this);
    const QString engine = EngineProgram();
    if (engine.isEmpty()) {
        KeyRecordListing none;
        none.problem = QStringLiteral("the PGP engine zorvex-pgp was not found");
        emit finished(none);
        return;
    }
    connect(m_process, &QProcess::finished, this, &KeyRingReader::done);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            done(-1, QProcess::CrashExit);
    });
    m_process->setProgram(engine);
    m_process->setArguments({QStringLiteral("-kv"), QStringLiteral("+records")});
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->start();
}

void KeyRingReader::done(int exitCode, QProcess::ExitStatus status)
{
    QProcess *process = m_process;
    m_process = nullptr;
    process->deleteLater();
    process->disconnect(this);
    KeyRecordListing listing = ParseKeyRecords(process->readAllStandardOutput());
    // The engine's own last words say best what went wrong.
    const QString said =
        QString::fromUtf8(process->readAllStandardError()).trimmed().section(QLatin1Char('\n'), -1);
    if (status != QProcess::NormalExit || exitCode != 0) {
        const QString why =
            !said.isEmpty() ? said
            : exitCode < 0  ? QStringLiteral("the PGP engine could not be started")
            : status != QProcess::NormalExit
                ? QStringLiteral("the PGP engine ended abnormally")
                : QStringLiteral("the PGP engine ended with exit code %1").arg(exitCode);
        listing.problem = why;
    }
    emit finished(listing);
}
