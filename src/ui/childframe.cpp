#include "childframe.h"

#include "zorvex5doc.h"
#include "zorvex5view.h"

#include <QCloseEvent>

CChildFrame::CChildFrame(CZorvex5Doc *document, QWidget *parent)
    : QMdiSubWindow(parent), m_document(document), m_view(new CZorvex5View(document, this))
{
    setObjectName(QStringLiteral("childFrame"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWidget(m_view);
    connect(document, &CZorvex5Doc::titleChanged, this, &CChildFrame::updateTitle);
    updateTitle();
}

bool CChildFrame::OnCmdMsg(int, CommandState *)
{
    return false;
}

void CChildFrame::closeEvent(QCloseEvent *event)
{
    if (!m_view->QueryClose()) {
        event->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(event);
}

void CChildFrame::updateTitle()
{
    setWindowTitle(m_document->title());
}
