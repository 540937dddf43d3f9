#include "propertyframe1.h"

#include "keys/mypropertysheet1.h"

#include <QCloseEvent>
#include <QVBoxLayout>

CPropertyFrame1::CPropertyFrame1(QWidget *owner)
    : QWidget(owner, Qt::Tool | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      m_pKeySheet(new CMyPropertySheet1(this))
{
    setObjectName(QStringLiteral("keyManagementFrame"));
    setWindowTitle(QString::fromUtf8(kKeyManagementTitle));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pKeySheet);
    // The window takes the size its largest page asks for and keeps it.
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

CPropertyFrame1 *CPropertyFrame1::Open(CPropertyFrame1 *existing, QWidget *owner)
{
    CPropertyFrame1 *frame = existing;
    if (!frame) {
        frame = new CPropertyFrame1(owner);
        frame->adjustSize();
        if (owner) {
            const QRect over = owner->window()->frameGeometry();
            frame->move(over.center() - frame->rect().center());
        }
    }
    if (!frame->isVisible())
        frame->show();
    else
        frame->activateWindow(); // behind other windows: bring it forward

    return frame;
}

void CPropertyFrame1::closeEvent(QCloseEvent *event)
{
    event->ignore();
    hide();
}
