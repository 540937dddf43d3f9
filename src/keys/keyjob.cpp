#include "keyjob.h"

#include "core/keynamelist.h"
#include "core/settings.h"
#include "keys/keyrefresh.h"

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

QString KeyJobScript(KeyAction action, const QString &userId, const QString &file,
                     const QString &keyring, const QString &ownUserId)
{
    QString s = QStringLiteral("@ECHO OFF\nPGP.EXE ");
    const QString ring = present(keyring) ? keyring : QString();
    switch (action) {
    case KeyAction::GenerateKey:
        s += QStringLiteral("-kg");
        break;
    case KeyAction::ExtractKey:
        s += QStringLiteral("-kx");
        s += RuntimeOptions().Armor ? QStringLiteral("a ") : QStringLiteral(" ");
        s += userId;
        if (present(file))
            s += QLatin1Char(' ') + file + QLatin1Char(' ');
        else if (present(keyring))
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
        if (present(userId))
            s += userId + QLatin1Char(' ');
        s += ring + QStringLiteral("| MORE");
        break;
    case KeyAction::EditKey:
        s += QStringLiteral("-ke ");
        if (present(userId))
            s += userId + QLatin1Char(' ');
        s += ring;
        break;
    case KeyAction::SignKey:
        s += QStringLiteral("-ks ") + required(userId);
        if (present(ownUserId))
            s += QStringLiteral("-u ") + ownUserId + QLatin1Char(' ');
        s += ring;
        break;
    case KeyAction::DeleteOwnKey:
        s += QStringLiteral("-kd ") + ownUserId;
        break;
    }
    return s;
}

JobOutcome ComposeKeyJob(KeyAction action, const QString &userId, const QString &file,
                         const QString &keyring, const QString &ownUserId, QWidget *parent)
{
    // The key window stays usable while another job waits; that job's script must not be
    // overwritten. The runner itself turns the second request down.
    if (!JobRunning())
        JobScript() = KeyJobScript(action, userId, file, keyring, ownUserId);
    const QString tail = QString::fromLatin1(kKeyJobTail);
    if (runner())
        return runner()(tail, parent);
    return RunJobScript(tail, parent);
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
