#include "keyjob.h"

#include "core/keynamelist.h"
#include "core/settings.h"
#include "jobs/jobarguments.h"
#include "keys/keyrefresh.h"
#include "platform/messagebox.h"

namespace {

// One character is too short to be a name PGP could mean; such inputs are left out.
bool present(const QString &input)
{
    return input.size() >= 2;
}

// A required input and its blank; an empty one leaves the option's own blank as the only
// one, so "-kr" with no user ID reads "-kr " rather than "-kr  ".
QString required(const QString &input)
{
    return input.isEmpty() ? QString() : input + QLatin1Char(' ');
}

QString jobName(KeyAction action)
{
    switch (action) {
    case KeyAction::GenerateKey:
        return QStringLiteral("Key generation");
    case KeyAction::ExtractKey:
        return QStringLiteral("Key extraction");
    case KeyAction::AddKey:
        return QStringLiteral("Adding keys");
    case KeyAction::RemoveKey:
        return QStringLiteral("Key removal");
    case KeyAction::RemoveSignatures:
        return QStringLiteral("Signature removal");
    case KeyAction::ViewKeys:
        return QStringLiteral("Key listing");
    case KeyAction::ViewFingerprints:
        return QStringLiteral("Fingerprint listing");
    case KeyAction::EditKey:
        return QStringLiteral("Key editing");
    case KeyAction::SignKey:
        return QStringLiteral("Key signing");
    case KeyAction::DeleteOwnKey:
        return QStringLiteral("Revoking or disabling a key");
    }
    return QStringLiteral("The key command");
}

KeyJobRunner &runner()
{
    static KeyJobRunner r;
    return r;
}

KeyListRefresher &refresher()
{
    static KeyListRefresher r;
    return r;
}

} // namespace

QString KeyJobScript(KeyAction action, const QString &rawUserId, const QString &rawFile,
                     const QString &rawKeyring, const QString &rawOwnUserId)
{
    // Each field reaches PGP as one word, whatever blanks or batch syntax it holds. The
    // presence rules look at the values as typed.
    const QString userId = BatchFileArgument(rawUserId);
    const QString file = FileArgument(rawFile);
    const QString ownUserId = BatchFileArgument(rawOwnUserId);
    QString s = QStringLiteral("@ECHO OFF\nPGP.EXE ");
    const QString ring = present(rawKeyring) ? FileArgument(rawKeyring) : QString();
    switch (action) {
    case KeyAction::GenerateKey:
        s += QStringLiteral("-kg");
        break;
    case KeyAction::ExtractKey:
        s += QStringLiteral("-kx");
        s += RuntimeOptions().Armor ? QStringLiteral("a ") : QStringLiteral(" ");
        s += userId;
        if (present(rawFile))
            s += QLatin1Char(' ') + file + QLatin1Char(' ');
        else if (present(rawKeyring))
            s += QLatin1Char(' ');
        s += ring;
        break;
    case KeyAction::AddKey:
        s += QStringLiteral("-ka ") + required(file) + ring;
        break;
    case KeyAction::RemoveKey:
        s += QStringLiteral("-kr ") + required(userId) + ring;
        break;
    case KeyAction::RemoveSignatures:
        s += QStringLiteral("-krs ") + required(userId) + ring;
        break;
    case KeyAction::ViewKeys:
    case KeyAction::ViewFingerprints:
        s += action == KeyAction::ViewKeys ? QStringLiteral("-kv ") : QStringLiteral("-kvc ");
        if (present(rawUserId))
            s += userId + QLatin1Char(' ');
        s += ring + QStringLiteral("| MORE");
        break;
    case KeyAction::EditKey:
        s += QStringLiteral("-ke ");
        if (present(rawUserId))
            s += userId + QLatin1Char(' ');
        s += ring;
        break;
    case KeyAction::SignKey:
        s += QStringLiteral("-ks ") + required(userId);
        if (present(rawOwnUserId))
            s += QStringLiteral("-u ") + ownUserId + QLatin1Char(' ');
        s += ring;
        break;
    case KeyAction::DeleteOwnKey:
        s += QStringLiteral("-kd ") + ownUserId;
        break;
    }
    return s;
}

QString KeyJobProblem(KeyAction action, const QString &userId, const QString &file,
                      const QString &keyring, const QString &ownUserId)
{
    // Only what the command would carry is examined.
    const bool usesUserId = action != KeyAction::GenerateKey && action != KeyAction::AddKey &&
                            action != KeyAction::DeleteOwnKey;
    const bool usesFile = action == KeyAction::AddKey || action == KeyAction::ExtractKey;
    const bool usesKeyring =
        action != KeyAction::GenerateKey && action != KeyAction::DeleteOwnKey && present(keyring);
    const bool usesOwn =
        action == KeyAction::DeleteOwnKey || (action == KeyAction::SignKey && present(ownUserId));
    QString problem;
    if (usesUserId)
        problem = ArgumentTextProblem(userId, QStringLiteral("user ID"));
    if (problem.isEmpty() && usesFile)
        problem = ArgumentTextProblem(file, QStringLiteral("key file name"));
    if (problem.isEmpty() && usesKeyring)
        problem = ArgumentTextProblem(keyring, QStringLiteral("keyring name"));
    if (problem.isEmpty() && usesOwn)
        problem = ArgumentTextProblem(ownUserId, QStringLiteral("your own user ID"));
    return problem;
}

JobOutcome ComposeKeyJob(KeyAction action, const QString &userId, const QString &file,
                         const QString &keyring, const QString &ownUserId, QWidget *parent)
{
    const QString problem = KeyJobProblem(action, userId, file, keyring, ownUserId);
    if (!problem.isEmpty()) {
        MessageBox::stop(parent, problem);
        return JobOutcome::NotStarted;
    }
    // The key window stays usable while another job waits; that job's script must not be
    // overwritten. The runner itself turns the second request down.
    if (!JobRunning())
        JobScript() = KeyJobScript(action, userId, file, keyring, ownUserId);
    const QString tail = QString::fromLatin1(kKeyJobTail);
    if (runner())
        return runner()(tail, parent);
    return RunJobScript(tail, parent, jobName(action));
}

void SetKeyJobRunner(KeyJobRunner r)
{
    runner() = std::move(r);
}

void SetKeyListRefresher(KeyListRefresher r)
{
    refresher() = std::move(r);
}

JobOutcome RefreshKeyNamesAfterJob(QWidget *parent)
{
    if (refresher())
        return refresher()(parent);
    return RefreshKeyNames(parent);
}
