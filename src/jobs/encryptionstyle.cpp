#include "encryptionstyle.h"

#include "core/settings.h"

EncryptionFieldsEnabled ApplyEncryptionStyle(EncryptionStyle style, bool checked,
                                             RuntimeOptionsRecord &options)
{
    switch (style) {
    case EncryptionStyle::Signed:
        options.SignIt = 1;
        options.IDEA = 0;
        options.ClearsignOnly = 0;
        return {true, true, true, true};
    case EncryptionStyle::Unsigned:
        options.SignIt = 0;
        options.IDEA = 0;
        options.ClearsignOnly = 0;
        options.SigIntact = 1;
        return {true, true, true, true};
    case EncryptionStyle::Idea:
        options.IDEA = 1;
        options.SignIt = 0;
        options.ClearsignOnly = 0;
        return {true, true, true, true};
    case EncryptionStyle::Clearsign:
        options.ClearsignOnly = 1;
        options.SignIt = 0;
        options.IDEA = 0;
        return {false, false, true, false};
    case EncryptionStyle::Armor:
        options.Armor = 1;
        options.SignIt = 0;
        options.IDEA = 0;
        options.ClearsignOnly = 0;
        return {false, false, false, false};
    case EncryptionStyle::DetachSig:
        if (checked) {
            options.DetachSig = 1;
            options.SigIntact = 0;
            options.SignIt = 0;
            options.IDEA = 0;
            options.ClearsignOnly = 0;
        }
        return {false, false, false, false};
    }
    return {true, true, true, true};
}

EncryptionStyleSnapshot EncryptionStyleSnapshot::take(const RuntimeOptionsRecord &options)
{
    return {options.Armor, options.SignIt, options.DetachSig, options.SigIntact};
}

void EncryptionStyleSnapshot::restore(RuntimeOptionsRecord &options) const
{
    options.Armor = Armor;
    options.SignIt = SignIt;
    options.DetachSig = DetachSig;
    options.SigIntact = SigIntact;
}
