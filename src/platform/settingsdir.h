#pragma once

#include <QString>

// The settings file, by the name the program passes to the profile functions.
inline constexpr auto kSettingsFile = "ZORVEX 5.INI";
// The same file as one dialog names it, through the Windows directory.
inline constexpr auto kSettingsFullPath = "C:\\WINDOWS\\ZORVEX 5.INI";
// The per-application profile (recent files, Tip of the Day).
inline constexpr auto kApplicationProfile = "zorvex5.ini";

// $ZORVEX_CONFIG_DIR, else $XDG_CONFIG_HOME/zorvex5, else ~/.config/zorvex5. Not created here.
QString SettingsDirectory();

// Where a profile name lives: bare names and Windows-directory paths go to the settings
// directory, absolute Linux paths stay as they are.
QString ResolveProfilePath(const QString &file);

// Creates the settings directory (mode 0700) when it does not exist yet.
bool EnsureDirectoryFor(const QString &filePath);
