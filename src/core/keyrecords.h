#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// One key of the engine's listing for programs (PGP.EXE -kv +records): what the Key Ring window
// shows and what the cached key names are made of.
struct KeyRecord
{
    enum class Status
    {
        Valid,
        NotCertified,
        Expired,
        Revoked,
        Disabled,
    };

    QString keyId;   // 16 hex digits
    QString type;    // "RSA 3072", "Ed25519", "RSA 1024 (PGP 2.x)"
    QString created; // YYYY/MM/DD
    QString expires; // YYYY/MM/DD, empty for never
    Status status = Status::NotCertified;
    bool secret = false; // the user holds the secret key
    QString fingerprint; // grouped as PGP prints it
    QStringList userIds; // the primary first

    QString shortId() const { return keyId.right(8); }
    // Revoked or expired: no message can be encrypted to it.
    bool unusable() const { return status == Status::Revoked || status == Status::Expired; }
};

struct KeyRecordListing
{
    QList<KeyRecord> keys;
    QString problem; // why the listing is not whole; empty when it is
};

// Reads the listing. A listing without its closing "end" line, or whose count disagrees, is
// reported as a problem with the keys read so far kept; unknown record types are skipped.
KeyRecordListing ParseKeyRecords(const QByteArray &listing);

// "valid", "not certified", "expired", "revoked", "disabled".
QString KeyStatusText(KeyRecord::Status status);

// The cached key name entries of the records, in the form the lists and the key-ID pick read
// ("3072/0123ABCD 2024/05/01 Jane Example <jane@example.org>"): one entry per user ID, a
// revoked or expired key's entries marked as PGP marks them, sorted by user ID.
QStringList KeyNamesFromRecords(const QList<KeyRecord> &keys);
