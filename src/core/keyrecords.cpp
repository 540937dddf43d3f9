#include "keyrecords.h"

#include "core/keynamelist.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>

namespace {

// "\xHH" back to the byte it stands for; the engine escapes every backslash, so nothing else
// starts with one.
QByteArray Unescape(QByteArrayView field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] == 'x') {
            bool ok = false;
            const int byte = QByteArray(field.sliced(i + 2, 2).data(), 2).toInt(&ok, 16);
            if (ok) {
                out.append(static_cast<char>(byte));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return out;
}

KeyRecord::Status StatusFromWord(QByteArrayView word)
{
    static const QHash<QByteArray, KeyRecord::Status> words{
        {"valid", KeyRecord::Status::Valid},
        {"expired", KeyRecord::Status::Expired},
        {"revoked", KeyRecord::Status::Revoked},
        {"disabled", KeyRecord::Status::Disabled},
        {"not certified", KeyRecord::Status::NotCertified}};
    return words.value(word.toByteArray(), KeyRecord::Status::NotCertified);
}

} // namespace

KeyRecordListing ParseKeyRecords(const QByteArray &listing)
{
    KeyRecordListing result;
    bool ended = false;
    qsizetype start = 0;
    while (start < listing.size()) {
        qsizetype end = listing.indexOf('\n', start);
        if (end < 0)
            end = listing.size();
        const QByteArrayView line = QByteArrayView(listing).sliced(start, end - start);
        start = end + 1;
        const QList<QByteArrayView> fields = [&] {
            QList<QByteArrayView> f;
            qsizetype from = 0;
            for (qsizetype tab; (tab = line.indexOf('\t', from)) >= 0; from = tab + 1)
                f.append(line.sliced(from, tab - from));
            f.append(line.sliced(from));
            return f;
        }();
        if (fields[0] == "key" && fields.size() >= 8) {
            KeyRecord key;
            key.keyId = QString::fromLatin1(fields[1]);
            key.type = QString::fromUtf8(fields[2]);
            key.created = QString::fromLatin1(fields[3]);
            key.expires = QString::fromLatin1(fields[4]);
            key.status = StatusFromWord(fields[5]);
            key.secret = fields[6] == "yes";
            key.fingerprint = QString::fromLatin1(fields[7]);
            result.keys.append(std::move(key));
        } else if (fields[0] == "uid" && fields.size() >= 2 && !result.keys.isEmpty()) {
            result.keys.last().userIds.append(QString::fromUtf8(Unescape(fields[1])));
        } else if (fields[0] == "end" && fields.size() >= 2) {
            ended = true;
            if (fields[1].toLongLong() != result.keys.size())
                result.problem = QStringLiteral("the listing names %1 keys but holds %2")
                                     .arg(QString::fromLatin1(fields[1]))
                                     .arg(result.keys.size());
        }
    }
    if (!ended && result.problem.isEmpty())
        result.problem = QStringLiteral("the listing ends before its last line");
    return result;
}

QString KeyStatusText(KeyRecord::Status status)
{
    switch (status) {
    case KeyRecord::Status::Valid:
        return QStringLiteral("valid");
    case KeyRecord::Status::Expired:
        return QStringLiteral("expired");
    case KeyRecord::Status::Revoked:
        return QStringLiteral("revoked");
    case KeyRecord::Status::Disabled:
        return QStringLiteral("disabled");
    case KeyRecord::Status::NotCertified:
        break;
    }
    return QStringLiteral("not certified");
}

QStringList KeyNamesFromRecords(const QList<KeyRecord> &keys)
{
    QList<KeyNameEntry> entries;
    entries.reserve(keys.size() * 2);
    for (const KeyRecord &key : keys) {
        // The key-ID pick finds the key ID after the slash, PGP's bits field being four wide:
        // "RSA 3072" gives 3072, "ECDSA P-256" 256, and a curve named alone (Ed25519) 255.
        QString size = key.type.section(QLatin1Char(' '), 1, 1);
        size.remove(QRegularExpression(QStringLiteral("[^0-9]")));
        const int bits = size.isEmpty() ? 255 : qMin(size.toInt(), 9999);
        const QString prefix =
            QStringLiteral("%1/%2 %3 ").arg(bits, 4).arg(key.shortId(), key.created);
        const QString mark =
            key.status == KeyRecord::Status::Revoked   ? QString::fromLatin1(kRevokedKeyMark)
            : key.status == KeyRecord::Status::Expired ? QString::fromLatin1(kExpiredKeyMark)
                                                       : QString();
        for (const QString &uid : key.userIds)
            entries.append({uid.toCaseFolded(),
                            prefix + (mark.isEmpty() ? uid : mark + QLatin1Char(' ') + uid)});
    }
    return SortedKeyNames(std::move(entries));
}
