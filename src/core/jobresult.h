#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// What the engine calls of a job came to, as zorvex-cmd reports them in the result file the
// program hands it (zorvex-cmd --results=FILE). The file is a line a record, fields separated
// by one blank, text fields with control characters, blanks and '%' written as %XX:
//
//     zorvex-results VERSION
//     total N
//     begin I COMMAND
//     end I exit|signal|unstarted VALUE TAIL
//     del NAME                  (from version 2: a DEL line deleted the file NAME)
//     window ID                 the X window of the script's terminal, where it says
//     verdict I KIND TEXT       (from version 2: call I judged a signature; KIND is good,
//                               uncertified, unchecked, revoked or expired; added or updated:
//                               the key -ka added or updated, with its fingerprint, no verdict)
//
// Only the bytes are shared with the interpreter; this side is a plain reader.

// The engine's verdict on one signature, in its own words.
struct SignatureVerdict
{
    QString kind; // good, uncertified, unchecked, revoked, expired; added, updated (a key)
    QString text;

    // Not a signature at all: a key -ka added or updated, named for the user to check.
    bool isKeyReport() const
    {
        return kind == QLatin1String("added") || kind == QLatin1String("updated");
    }
    // Only a good signature by a certified key goes without the user's attention.
    bool needsAttention() const { return kind != QLatin1String("good") && !isKeyReport(); }
};

struct StepResult
{
    enum class End
    {
        Running,   // begun, no end recorded (yet)
        Exited,    // value is the exit code
        Signalled, // value is the signal
        NotStarted // the engine never ran
    };

    int index = 0;
    QString command; // as written in the script, the pass phrase masked
    End end = End::Running;
    int value = 0;
    QString tail; // the last lines the engine printed, or the interpreter's own words
    QList<SignatureVerdict> verdicts;

    bool succeeded() const { return end == End::Exited && value == 0; }
    bool ended() const { return end != End::Running; }
    // "exit code 2", "ended by signal 9", "could not be started".
    QString endText() const;
    // The first argument that is not an option: the file (or user ID) the call works on.
    QString subject() const;
};

struct JobResults
{
    bool valid = false; // the interpreter wrote its header: it reported what happened
    int version = 0;
    int total = 0;
    QList<StepResult> steps;
    QStringList deleted;        // by the script's DEL lines, as named there
    quint64 terminalWindow = 0; // the X window of the script's terminal; 0 when not known

    // Whether the records say which files the script deleted; older interpreters did not.
    bool reportsDeletions() const { return valid && version >= 2; }

    int ended() const;
    const StepResult *step(int index) const;
    // Steps that ended without success, in order.
    QList<const StepResult *> failures() const;
    // Output files the engine named in its messages ("Ciphertext file: x.pgp" and the like).
    QStringList outputFiles() const;
    // Every step's signature verdicts, in order.
    QList<SignatureVerdict> verdicts() const;
    bool verdictsNeedAttention() const;
};

JobResults ParseJobResults(const QByteArray &bytes);

// %XX back to bytes.
QByteArray UnescapeResultField(const QByteArray &field);

// The message box text for a job that did not work: names the job and each failed step with
// the engine's own words. Empty when every step succeeded.
QString JobFailureText(const QString &jobName, const JobResults &results);

// The status bar text for a job that worked, with its good signatures; when a verdict needs the
// user's attention, the text of the information box instead.
QString JobSuccessText(const QString &jobName, const JobResults &results);

// The for-your-eyes-only text carried by zorvex-cmd's "eyes I TEXT" records, with every control
// character but line breaks and tabs shown as \xHH, so that it cannot act on what shows it.
QString EyesOnlyText(const QByteArray &records);
