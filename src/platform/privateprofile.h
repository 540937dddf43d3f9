#pragma once

#include <QList>
#include <QString>

#include <optional>

// The private-profile functions the program was written against, over our own INI store.
//
// `file` is a profile name as the program passes it ("ZORVEX 5.INI", the full
// "C:\WINDOWS\ZORVEX 5.INI", "zorvex5.ini") or an absolute Linux path; names are placed in
// the settings directory by ResolveProfilePath().
//
// Reading: section and key names match without regard to case, the first of duplicate keys
// wins, values come back without leading and trailing blanks. CR LF and LF files are read.
// Writing: every line the write does not touch is kept byte for byte; new lines end in CR LF;
// the file is replaced atomically, so a failed write leaves the old file as it was. Failures
// are reported only through the return value; callers that follow the Windows semantics
// ignore it.

struct ProfileEntry
{
    QString key;
    QString value;
    friend bool operator==(const ProfileEntry &, const ProfileEntry &) = default;
};

// The value's leading decimal integer; the default when the file, section or key is missing
// or the value is empty; 0 when the value does not start with a number.
int GetPrivateProfileInt(const QString &section, const QString &key, int defaultValue,
                         const QString &file);

// The value cut to size - 1 characters, or the default (also cut) when it is missing.
QString GetPrivateProfileString(const QString &section, const QString &key,
                                const QString &defaultValue, int size, const QString &file);

// Creates the file and the section as needed, replaces or appends the key. No key
// (std::nullopt) removes the whole section; no value removes the key.
bool WritePrivateProfileString(const QString &section, const std::optional<QString> &key,
                               const std::optional<QString> &value, const QString &file);

// Every key line of the section in file order, duplicates included; empty when missing.
QList<ProfileEntry> ReadProfileSection(const QString &section, const QString &file);

// Replaces the whole section with the given entries in one write (appends it when new).
bool WriteProfileSection(const QString &section, const QList<ProfileEntry> &entries,
                         const QString &file);
