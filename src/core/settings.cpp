#include "settings.h"

#include "platform/privateprofile.h"
#include "platform/settingsdir.h"

namespace {
const QString kSection = QStringLiteral("Operations");

// Buffer sizes of the string settings: a longer stored value loads cut to size - 1.
constexpr int kPathBuffer = 128;
constexpr int kNameBuffer = 40;

struct FlagKey
{
    const char *key;
    int RuntimeOptionsRecord::*field;
};

// Load order.
constexpr FlagKey kLoadOrder[] = {
    {"SignIt", &RuntimeOptionsRecord::SignIt},
    {"Wipe", &RuntimeOptionsRecord::Wipe},
    {"Armor", &RuntimeOptionsRecord::Armor},
    {"Text", &RuntimeOptionsRecord::Text},
    {"IDEA", &RuntimeOptionsRecord::IDEA},
    {"DetachSig", &RuntimeOptionsRecord::DetachSig},
    {"EyesOnly", &RuntimeOptionsRecord::EyesOnly},
    {"ShowPass", &RuntimeOptionsRecord::ShowPass},
    {"KeepBinary", &RuntimeOptionsRecord::KeepBinary},
    {"DebugMode", &RuntimeOptionsRecord::DebugMode},
    {"Verbose", &RuntimeOptionsRecord::Verbose},
    {"RecoverOrig", &RuntimeOptionsRecord::RecoverOrig},
    {"SigIntact", &RuntimeOptionsRecord::SigIntact},
};

// Save order: EyesOnly before DetachSig. A file created by a save lists its keys this way.
constexpr FlagKey kSaveOrder[] = {
    {"SignIt", &RuntimeOptionsRecord::SignIt},
    {"Wipe", &RuntimeOptionsRecord::Wipe},
    {"Armor", &RuntimeOptionsRecord::Armor},
    {"Text", &RuntimeOptionsRecord::Text},
    {"IDEA", &RuntimeOptionsRecord::IDEA},
    {"EyesOnly", &RuntimeOptionsRecord::EyesOnly},
    {"DetachSig", &RuntimeOptionsRecord::DetachSig},
    {"ShowPass", &RuntimeOptionsRecord::ShowPass},
    {"KeepBinary", &RuntimeOptionsRecord::KeepBinary},
    {"DebugMode", &RuntimeOptionsRecord::DebugMode},
    {"Verbose", &RuntimeOptionsRecord::Verbose},
    {"RecoverOrig", &RuntimeOptionsRecord::RecoverOrig},
    {"SigIntact", &RuntimeOptionsRecord::SigIntact},
};

struct StringKey
{
    const char *key;
    QString RuntimeOptionsRecord::*field;
    int buffer;
};

constexpr StringKey kStrings[] = {
    {"UserApplication", &RuntimeOptionsRecord::UserApplication, kPathBuffer},
    {"UserAppDir", &RuntimeOptionsRecord::UserAppDir, kPathBuffer},
    {"PGPPATH", &RuntimeOptionsRecord::PGPPATH, kPathBuffer},
    {"MyName", &RuntimeOptionsRecord::MyName, kNameBuffer},
};

// A failed write leaves the in-memory values as they are; the caller tells the user.
bool write(const char *key, const QString &value)
{
    return WritePrivateProfileString(kSection, QLatin1String(key), value,
                                     QString::fromLatin1(kSettingsFile));
}
} // namespace

AppState &State()
{
    static AppState state;
    return state;
}

RuntimeOptionsRecord &RuntimeOptions()
{
    return State().options;
}

void ResetState()
{
    State() = AppState();
}

void LoadSettings()
{
    const QString file = QString::fromLatin1(kSettingsFile);
    RuntimeOptionsRecord &options = RuntimeOptions();
    for (const FlagKey &flag : kLoadOrder)
        options.*flag.field = GetPrivateProfileInt(kSection, QLatin1String(flag.key), 0, file);
    for (const StringKey &s : kStrings)
        options.*s.field =
            GetPrivateProfileString(kSection, QLatin1String(s.key), QString(), s.buffer, file);
}

bool SaveOptionFlags()
{
    const RuntimeOptionsRecord &options = RuntimeOptions();
    bool stored = true;
    for (const FlagKey &flag : kSaveOrder)
        stored = write(flag.key, QString::number(options.*flag.field)) && stored;
    return stored;
}

QString UnstoredSettingsText(const QString &what)
{
    return QStringLiteral("%1 could not be stored: the settings file %2 could not be written.")
        .arg(what, ResolveProfilePath(QString::fromLatin1(kSettingsFile)));
}

bool SavePreferences()
{
    const RuntimeOptionsRecord &options = RuntimeOptions();
    bool stored = true;
    for (const StringKey &s : kStrings)
        stored = write(s.key, options.*s.field) && stored;
    return write("DebugMode", QString::number(options.DebugMode)) && stored;
}
