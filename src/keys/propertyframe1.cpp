#include "propertyframe1.h"

#include "keys/mypropertypages.h"
#include "keys/mypropertysheet1.h"
#include "platform/help.h"
#include "platform/windowplacement.h"

#include <QCloseEvent>
#include <QScreen>
#include <QShortcut>
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

    // F1 is the current page's Help button; Escape is Cancel, which only hides the window.
    auto *help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setObjectName(QStringLiteral("helpShortcut"));
    connect(help, &QShortcut::activated, this, [this] {
        if (auto *page = qobject_cast<CKeyManagementPage *>(m_pKeySheet->currentWidget()))
            ShowHelpContext(page->helpContext(), page);
    });
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setObjectName(QStringLiteral("escapeShortcut"));
    connect(escape, &QShortcut::activated, this, &QWidget::hide);
}

CPropertyFrame1 *CPropertyFrame1::Open(CPropertyFrame1 *existing, QWidget *owner)
{
    CPropertyFrame1 *frame = existing;
    if (!frame) {
        frame = new CPropertyFrame1(owner);
        frame->adjustSize();
        if (owner) {
            const QRect over = owner->window()->frameGeometry();
            QRect placed = frame->rect();
            placed.moveCenter(over.center());
            if (QScreen *screen = owner->window()->screen())
                placed = KeepInside(placed, screen->availableGeometry());
            frame->move(placed.topLeft());
        }
    }
    if (!frame->isVisible())
        frame->show();
    // New or behind other windows: it comes forward with the keyboard, or typed keys would go
    // to the editor that asked for it.
    frame->raise();
    frame->activateWindow();

    return frame;
}

void CPropertyFrame1::closeEvent(QCloseEvent *event)
{
    event->ignore();
    hide();
}
