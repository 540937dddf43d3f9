#pragma once

#include <QtGlobal>
#include <functional>

class QWidget;

// Dialog Help buttons show the help topic 0x20000 + the dialog's resource number.
// The main window installs the viewer; until then (and in tests) the request is only recorded.
using HelpHandler = std::function<void(quint32 context, QWidget *parent)>;

void ShowHelpContext(quint32 context, QWidget *parent = nullptr);
void SetHelpHandler(HelpHandler handler);
// The context of the most recent request, 0 before the first.
quint32 LastHelpContext();
