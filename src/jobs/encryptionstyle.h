#pragma once

struct RuntimeOptionsRecord;

// The six styles of the encryption dialog. Each writes its flags into RuntimeOptions at the
// moment it is clicked, and decides which of the dialog's fields still make sense.
enum class EncryptionStyle
{
    Signed,
    Unsigned,
    Idea,
    Clearsign,
    Armor,
    DetachSig
};

struct EncryptionFieldsEnabled
{
    bool recipients;
    bool nameList;
    bool sender;
    bool output;

    bool operator==(const EncryptionFieldsEnabled &) const = default;
};

// Applies the style's flags to `options` (the detached-signature flags only while its button
// is checked) and returns which fields stay enabled.
EncryptionFieldsEnabled ApplyEncryptionStyle(EncryptionStyle style, bool checked,
                                             RuntimeOptionsRecord &options);

// The four flags the styles change that the dialog puts back after a completed OK. IDEA and
// ClearsignOnly are left alone on purpose: they carry the last style into later runs.
struct EncryptionStyleSnapshot
{
    int Armor = 0;
    int SignIt = 0;
    int DetachSig = 0;
    int SigIntact = 0;

    static EncryptionStyleSnapshot take(const RuntimeOptionsRecord &options);
    void restore(RuntimeOptionsRecord &options) const;
};
