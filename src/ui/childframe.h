#pragma once

#include "commandtarget.h"

#include <QMdiSubWindow>

class CZorvex5Doc;
class CZorvex5View;

// One editor window inside the main frame: a maximised MDI child holding one view.
class CChildFrame : public QMdiSubWindow, public CommandTarget
{
    Q_OBJECT
public:
    explicit CChildFrame(CZorvex5Doc *document, QWidget *parent = nullptr);

    CZorvex5View *view() const { return m_view; }
    CZorvex5Doc *document() const { return m_document; }

    bool OnCmdMsg(int id, CommandState *state) override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void updateTitle();

    CZorvex5Doc *m_document;
    CZorvex5View *m_view;
};
