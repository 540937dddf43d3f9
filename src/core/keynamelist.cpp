#include "keynamelist.h"

#include "core/settings.h"
#include "platform/privateprofile.h"
#include "platform/settingsdir.h"

#include <QHash>

#include <algorithm>

QStringList ParseKeyListing(const QByteArray &listing)
{
    QStringList names;
    bool firstSkipped = false;
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
        if (line.startsWith("pub "))
            names.append(QString::fromUtf8(line.sliced(4)));
    }
    return names;
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
        names.append(value.left(kKeyNameBuffer - 1));
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
