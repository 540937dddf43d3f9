#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The cached key user IDs: [Keys] of the settings file holds NumbrOfKeys and Key1..KeyN,
// rebuilt from PGP's key listing by RefreshKeyNames(). The lists show KeyNameCount entries.

inline constexpr auto kKeysSection = "Keys";
inline constexpr auto kMissingKeyName = "WTFO";
// How PGP's listing marks a key that can no longer be used, in place of (or before) its user ID.
inline constexpr auto kRevokedKeyMark = "*** KEY REVOKED ***";
inline constexpr auto kExpiredKeyMark = "*** KEY EXPIRED ***";
// The names of a PGP key listing: the rest of every line that starts with "pub ", skipping
// the first non-empty line whatever it holds, and one entry more for each further user ID (a
// line of 30 blanks and the user ID below it) with the key's bits, ID and date in front. A
// revoked or expired key's entries carry PGP's mark before each user ID. Sorted by user ID
// (the mark and case aside), keys in listing order among equal names. Empty lines are
// ignored; CR LF and LF both work.
QStringList ParseKeyListing(const QByteArray &listing);

// One entry of a name list and the user ID it sorts by; SortedKeyNames sorts by user ID (case
// aside), keeping listing order among equal names.
struct KeyNameEntry
{
    QString sortKey;
    QString text;
};
QStringList SortedKeyNames(QList<KeyNameEntry> entries);

// Why an entry cannot be picked as a recipient (a revoked or an expired key), as a message;
// empty when it can.
QString KeyNamePickProblem(const QString &entry);

// Replaces the whole [Keys] section with the names and their count, in one write, and makes
// KeyNameCount follow the new count.
void StoreKeyNames(const QStringList &names);

// Key1..Key<KeyNameCount> as the lists show them: trimmed and whole (a long user ID is what
// tells two keys apart), "WTFO" for a missing entry. The list ends at the first position after
// the last entry there is, whatever the count says. `file` is the profile name to read
// ("ZORVEX 5.INI" or its full Windows path).
QStringList CachedKeyNames(const QString &file);

// What a click on a cached name appends to a recipients or key-ID text: "0x" and the nine
// characters after the slash (the key ID and the blank behind it) when the slash stands at
// position 3 or 4; "0x" and the nine characters from position 4 when there is no slash or it
// stands earlier; nothing when it stands further right (a five-digit key size).
QString KeyIdSelectionText(const QString &entry);
