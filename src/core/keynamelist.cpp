#include "keynamelist.h"

#include "core/settings.h"
#include "platform/privateprofile.h"
#include "platform/settingsdir.h"

#include <QHash>

#include <algorithm>

QStringList ParseKeyListing(const QByteArray &listing)
{
    QList<KeyNameEntry> entries;
    const QString revoked = QString::fromLatin1(kRevokedKeyMark);
    const QString expired = QString::fromLatin1(kExpiredKeyMark);
    const QByteArray indent(30, ' ');
    bool firstSkipped = false;
    // The key whose further user IDs may follow: its bits, ID and date, and PGP's mark.
    bool inKey = false;
    QString prefix, mark;
    auto add = [&](const QString &uid, const QString &whole) {
        entries.append({uid.toCaseFolded(), whole});
    };
    qsizetype start = 0;
    while (start < listing.size()) {
        qsizetype end = listing.indexOf('\n', start);
        if (end < 0)
            end = listing.size();
        QByteArrayView line = QByteArrayView(listing).sliced(start, end - start);
        start = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        if (!firstSkipped) {
            firstSkipped = true;
            continue;
        }
        if (line.startsWith("pub ")) {
            const QString rest = QString::fromUtf8(line.sliced(4));
            const qsizetype slash = rest.indexOf(QLatin1Char('/'));
            const qsizetype idEnd = slash < 0 ? -1 : rest.indexOf(QLatin1Char(' '), slash);
            const qsizetype dateEnd = idEnd < 0 ? -1 : rest.indexOf(QLatin1Char(' '), idEnd + 1);
            prefix = dateEnd < 0 ? QString() : rest.left(dateEnd + 1);
            const QString name = rest.mid(prefix.size());
            mark = name == revoked || name == expired ? name : QString();
            inKey = true;
            // A marked key's owner follows on the next line; the mark alone stays only when
            // no user ID does.
            if (mark.isEmpty())
                add(name, rest);
            else
                entries.append({QString(), rest});
        } else if (inKey && line.startsWith(indent) && line.size() > 30 && line[30] != ' ') {
            const QString uid = QString::fromUtf8(line.sliced(30));
            if (!mark.isEmpty() && entries.last().sortKey.isEmpty() &&
                entries.last().text == prefix + mark)
                entries.removeLast();
            add(uid, prefix + (mark.isEmpty() ? uid : mark + QLatin1Char(' ') + uid));
        } else {
            inKey = false;
        }
    }
    return SortedKeyNames(std::move(entries));
}

QStringList SortedKeyNames(QList<KeyNameEntry> entries)
{
    std::stable_sort(
        entries.begin(), entries.end(),
        [](const KeyNameEntry &a, const KeyNameEntry &b) { return a.sortKey < b.sortKey; });
    QStringList names;
    names.reserve(entries.size());
    for (KeyNameEntry &e : entries)
        names.append(std::move(e.text));
    return names;
}

QString KeyNamePickProblem(const QString &entry)
{
    for (const char *mark : {kRevokedKeyMark, kExpiredKeyMark}) {
        const qsizetype at = entry.indexOf(QLatin1String(mark));
        if (at < 0)
            continue;
        const QString owner = entry.mid(at + qsizetype(qstrlen(mark))).trimmed();
        return QStringLiteral("The key of %1 has %2: messages can no longer be encrypted to it.")
            .arg(owner.isEmpty() ? QStringLiteral("this entry")
                                 : QStringLiteral("\"%1\"").arg(owner),
                 mark == kRevokedKeyMark ? QStringLiteral("been revoked")
                                         : QStringLiteral("expired"));
    }
    return QString();
}

void StoreKeyNames(const QStringList &names)
{
    QList<ProfileEntry> entries;
    entries.reserve(names.size() + 1);
    for (qsizetype i = 0; i < names.size(); ++i)
        entries.append({QStringLiteral("Key%1").arg(i + 1), names[i]});
    entries.append({QStringLiteral("NumbrOfKeys"), QString::number(names.size())});
    WriteProfileSection(QString::fromLatin1(kKeysSection), entries,
                        QString::fromLatin1(kSettingsFile));
    State().KeyNameCount = static_cast<unsigned>(names.size());
}

QStringList CachedKeyNames(const QString &file)
{
    const unsigned count = State().KeyNameCount;
    QStringList names;
    if (count == 0)
        return names;
    // One read of the whole section instead of one file read per name.
    QHash<QString, QString> byKey;
    qulonglong highest = 0;
    qulonglong entries = 0;
    for (const ProfileEntry &e : ReadProfileSection(QString::fromLatin1(kKeysSection), file)) {
        const QString key = e.key.toLower();
        if (!byKey.contains(key))
            byKey.insert(key, e.value);
        if (key.startsWith(QLatin1String("key"))) {
            bool ok = false;
            const unsigned n = key.mid(3).toUInt(&ok);
            if (ok && QString::number(n) == key.mid(3)) {
                highest = std::max<qulonglong>(highest, n);
                ++entries;
            }
        }
    }
    // A count larger than the entries there are (an edited or damaged file) lists the entries
    // and one "WTFO" for the missing rest, not millions of them.
    const unsigned listed =
        static_cast<unsigned>(std::min({qulonglong(count), highest + 1, entries + 1}));
    names.reserve(listed);
    for (unsigned i = 1; i <= listed; ++i) {
        const QString value =
            byKey.value(QStringLiteral("key%1").arg(i), QString::fromLatin1(kMissingKeyName));
        names.append(value);
    }
    return names;
}

QString KeyIdSelectionText(const QString &entry)
{
    const qsizetype slash = entry.indexOf(QLatin1Char('/'));
    if (slash < 4)
        return QStringLiteral("0x") + entry.mid(4, 9);
    if (slash == 4)
        return QStringLiteral("0x") + entry.mid(5, 9);
    return QString();
}
