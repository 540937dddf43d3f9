#include "help.h"

namespace {
HelpHandler &handler()
{
    static HelpHandler h;
    return h;
}
quint32 lastContext = 0;
} // namespace

void ShowHelpContext(quint32 context, QWidget *parent)
{
    lastContext = context;
    if (handler())
        handler()(context, parent);
}

void SetHelpHandler(HelpHandler h)
{
    handler() = std::move(h);
}

quint32 LastHelpContext()
{
    return lastContext;
}
