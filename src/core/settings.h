#pragma once

#include <QString>

// The user's PGP options and preferences while the program runs. Filled from [Operations]
// of the settings file at start-up; dialogs and command composers read and change the fields
// directly; written back only by SaveOptionFlags() and SavePreferences(). A flag counts as on
// when it is non-zero: a stored 7 stays 7 until a check box replaces it.
struct RuntimeOptionsRecord
{
    int SignIt = 0;
    int Wipe = 0;
    int Armor = 0;
    int Text = 0;
    int IDEA = 0;
    int DetachSig = 0;
    int EyesOnly = 0;
    int ShowPass = 0;
    int KeepBinary = 0;
    int DebugMode = 0;
    int Verbose = 0;
    int RecoverOrig = 0;
    int SigIntact = 0;

    QString UserApplication;
    QString UserAppDir;
    QString PGPPATH;
    QString MyName;

    // Never stored: set by the Clearsign style and the clipboard dialog.
    int ClearsignOnly = 0;
};

// Everything else that lives for the whole run and is shared between windows.
struct AppState
{
    RuntimeOptionsRecord options;
    // How many cached key names the lists show.
    unsigned KeyNameCount = 0;
    // Recipients handed from the encryption and clipboard dialogs to the encryption composer,
    // and from the name picker back to its page.
    QString RecipientNames;
    int ClipboardMode = 0; // 1 = encrypt the active window, 0 = decrypt it
    int DirectoryMode = 0; // 1 = encrypt the directory, 0 = decrypt it
    bool GreetingShown = false;
};

AppState &State();
RuntimeOptionsRecord &RuntimeOptions();
// Back to the state of a fresh process (tests).
void ResetState();

// [Operations] of the settings file into RuntimeOptions; missing keys give the defaults.
void LoadSettings();
// The thirteen flags, and nothing else, into [Operations]. False when any could not be written.
bool SaveOptionFlags();
// The four strings and DebugMode into [Operations]. False when any could not be written.
bool SavePreferences();
// What the user is told when a save failed: `what` ("The defaults") could not be stored, and
// which file could not be written.
QString UnstoredSettingsText(const QString &what);
