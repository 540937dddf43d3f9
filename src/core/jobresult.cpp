#include "jobresult.h"

#include <QRegularExpression>

#include <algorithm>

#include <csignal>
#include <cstring>

namespace {
// A batch of a few hundred files should not become a message box taller than the screen.
constexpr int kFailuresShown = 12;

QString text(const QByteArray &field)
{
    return QString::fromUtf8(UnescapeResultField(field));
}

// The engine's 'Key 1234ABCD "Jane <j@x.org>": added.' and 'Key fingerprint = 12 34 ...' as the
// status bar names keys: "Jane <j@x.org>" (0x1234ABCD), fingerprint 12 34 ...
QString keyReportText(const QString &report)
{
    static const QRegularExpression form(
        QStringLiteral(R"(^Key (\S+)(?: (".*"))?: (?:added|updated \((.*)\)|(secret key) added)\.)"
                       R"((?:\nKey fingerprint = *(.+))?$)"));
    const QRegularExpressionMatch m = form.match(report);
    if (!m.hasMatch())
        return QString(report).replace(QLatin1Char('\n'), QLatin1Char(' '));
    QString name = QStringLiteral("%1 (0x%2)")
                       .arg(m.captured(2).isEmpty() ? QStringLiteral("no user ID") : m.captured(2),
                            m.captured(1));
    if (const QString gains = m.captured(3) + m.captured(4); !gains.isEmpty())
        name += QStringLiteral(", ") + gains;
    if (!m.captured(5).isEmpty())
        name += QStringLiteral(", fingerprint ") + m.captured(5);
    return name;
}

} // namespace

QByteArray UnescapeResultField(const QByteArray &field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field.at(i) == '%' && i + 2 < field.size()) {
            bool ok = false;
            const int value = field.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                out += static_cast<char>(value);
                i += 2;
                continue;
            }
        }
        out += field.at(i);
    }
    return out;
}

QString StepResult::endText() const
{
    switch (end) {
    case End::Exited:
        return QStringLiteral("exit code %1").arg(value);
    case End::Signalled: {
        const char *name = strsignal(value);
        return name ? QStringLiteral("ended by signal %1 (%2)")
                          .arg(value)
                          .arg(QString::fromLocal8Bit(name))
                    : QStringLiteral("ended by signal %1").arg(value);
    }
    case End::NotStarted:
        return QStringLiteral("could not be started");
    case End::Running:
        break;
    }
    return QStringLiteral("did not end");
}

QString StepResult::subject() const
{
    // Quoted words keep their blanks; the interpreter shows them in double quotes.
    static const QRegularExpression word(QStringLiteral(R"re("([^"]*)"|(\S+))re"));
    auto it = word.globalMatch(command);
    bool first = true;
    bool skipNext = false;
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QString w = m.captured(1).isNull() ? m.captured(2) : m.captured(1);
        if (first) {
            first = false;
            continue;
        }
        if (skipNext) {
            skipNext = false;
            continue;
        }
        if (m.captured(1).isNull() &&
            (w == QLatin1String("-z") || w == QLatin1String("-u") || w == QLatin1String("-o"))) {
            skipNext = true;
            continue;
        }
        if (m.captured(1).isNull() &&
            (w.startsWith(QLatin1Char('-')) || w.startsWith(QLatin1Char('+'))))
            continue;
        return w;
    }
    return QString();
}

int JobResults::ended() const
{
    int n = 0;
    for (const StepResult &s : steps)
        n += s.ended() ? 1 : 0;
    return n;
}

const StepResult *JobResults::step(int index) const
{
    for (const StepResult &s : steps) {
        if (s.index == index)
            return &s;
    }
    return nullptr;
}

QList<const StepResult *> JobResults::failures() const
{
    QList<const StepResult *> list;
    for (const StepResult &s : steps) {
        if (s.ended() && !s.succeeded())
            list.append(&s);
    }
    return list;
}

QStringList JobResults::outputFiles() const
{
    static const QRegularExpression named(QStringLiteral(
        R"(^(?:Ciphertext file|Signature file|Clear signature file|Plaintext filename): (.+)$)"
        R"(|^Key extracted to file '(.+)'\.$)"));
    QStringList files;
    for (const StepResult &s : steps) {
        if (!s.succeeded())
            continue;
        for (const QString &line : s.tail.split(QLatin1Char('\n'))) {
            const QRegularExpressionMatch m = named.match(line.trimmed());
            if (!m.hasMatch())
                continue;
            const QString file = m.captured(1).isEmpty() ? m.captured(2) : m.captured(1);
            if (!files.contains(file))
                files.append(file);
        }
    }
    return files;
}

QList<SignatureVerdict> JobResults::verdicts() const
{
    QList<SignatureVerdict> list;
    for (const StepResult &s : steps)
        list += s.verdicts;
    return list;
}

bool JobResults::verdictsNeedAttention() const
{
    const QList<SignatureVerdict> list = verdicts();
    return std::any_of(list.begin(), list.end(),
                       [](const SignatureVerdict &v) { return v.needsAttention(); });
}

JobResults ParseJobResults(const QByteArray &bytes)
{
    JobResults results;
    const QList<QByteArray> lines = bytes.split('\n');
    for (const QByteArray &line : lines) {
        // A record is only whole with its line end; the last piece may still be being written.
        if (&line == &lines.last())
            break;
        const QList<QByteArray> f = line.split(' ');
        if (f.value(0) == "zorvex-results") {
            results.valid = true;
            results.version = f.value(1).toInt();
        } else if (!results.valid) {
            break;
        } else if (f.value(0) == "del" && f.size() >= 2) {
            results.deleted.append(text(f.at(1)));
        } else if (f.value(0) == "window" && f.size() >= 2) {
            results.terminalWindow = f.at(1).toULongLong();
        } else if (f.value(0) == "total" && f.size() >= 2) {
            results.total = f.at(1).toInt();
        } else if (f.value(0) == "begin" && f.size() >= 3) {
            StepResult step;
            step.index = f.at(1).toInt();
            step.command = text(f.at(2));
            results.steps.append(step);
        } else if (f.value(0) == "verdict" && f.size() >= 4) {
            for (StepResult &step : results.steps) {
                if (step.index == f.at(1).toInt())
                    step.verdicts.append({text(f.at(2)), text(f.at(3))});
            }
        } else if (f.value(0) == "end" && f.size() >= 4) {
            const int index = f.at(1).toInt();
            for (StepResult &step : results.steps) {
                if (step.index != index)
                    continue;
                const QByteArray &kind = f.at(2);
                step.end = kind == "exit"     ? StepResult::End::Exited
                           : kind == "signal" ? StepResult::End::Signalled
                                              : StepResult::End::NotStarted;
                step.value = f.at(3).toInt();
                step.tail = text(f.value(4));
            }
        }
    }
    return results;
}

QString JobFailureText(const QString &jobName, const JobResults &results)
{
    const QList<const StepResult *> failed = results.failures();
    if (failed.isEmpty())
        return QString();
    QString message = QStringLiteral("%1 failed.").arg(jobName);
    for (int i = 0; i < failed.size() && i < kFailuresShown; ++i) {
        const StepResult *s = failed.at(i);
        message +=
            QStringLiteral("\n\nStep %1: %2\n(%3)").arg(s->index).arg(s->command, s->endText());
        if (!s->tail.isEmpty())
            message += QStringLiteral("\nPGP said:\n") + s->tail;
    }
    if (failed.size() > kFailuresShown)
        message +=
            QStringLiteral("\n\n... and %1 more failed steps.").arg(failed.size() - kFailuresShown);
    return message;
}

QString JobSuccessText(const QString &jobName, const JobResults &results)
{
    const QStringList files = results.outputFiles();
    QString text =
        files.isEmpty()
            ? QStringLiteral("%1 done.").arg(jobName)
            : QStringLiteral("%1 done: wrote %2.").arg(jobName, files.join(QStringLiteral(", ")));
    const bool box = results.verdictsNeedAttention();
    QStringList keys[2]; // added, updated
    for (const SignatureVerdict &v : results.verdicts()) {
        if (v.isKeyReport())
            keys[v.kind == QLatin1String("updated")].append(keyReportText(v.text));
        else
            text += box ? QStringLiteral("\n\n") + v.text
                        : QLatin1Char(' ') +
                              QString(v.text).replace(QLatin1Char('\n'), QLatin1Char(' '));
    }
    const QString names[2] = {QStringLiteral("Added: "), QStringLiteral("Updated: ")};
    for (int i = 0; i < 2; ++i) {
        if (!keys[i].isEmpty())
            text += (box ? QStringLiteral("\n\n") : QStringLiteral(" ")) + names[i] +
                    keys[i].join(QStringLiteral("; ")) + QLatin1Char('.');
    }
    return text;
}

QString EyesOnlyText(const QByteArray &records)
{
    QByteArray bytes;
    for (const QByteArray &line : records.split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() >= 3 && f.at(0) == "eyes")
            bytes += UnescapeResultField(f.at(2));
    }
    const QString decoded = QString::fromUtf8(bytes);
    QString shown;
    shown.reserve(decoded.size());
    for (qsizetype i = 0; i < decoded.size(); ++i) {
        const char16_t c = decoded.at(i).unicode();
        // CR LF is a line end; a lone CR could make one line hide another.
        if (c == u'\r' && decoded.mid(i + 1, 1) == QLatin1String("\n"))
            continue;
        if ((c < 0x20 && c != u'\n' && c != u'\t') || (c >= 0x7f && c < 0xa0))
            shown += QStringLiteral("\\x%1").arg(static_cast<int>(c), 2, 16, QLatin1Char('0'));
        else
            shown += decoded.at(i);
    }
    return shown;
}
