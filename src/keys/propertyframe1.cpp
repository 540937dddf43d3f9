#include "propertyframe1.h"

#include "keys/mypropertypages.h"
#include "keys/mypropertysheet1.h"
#include "platform/help.h"
#include "platform/windowplacement.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

CPropertyFrame1::CPropertyFrame1(QWidget *owner)
    : QWidget(owner, Qt::Tool | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      m_pKeySheet(new CMyPropertySheet1(this))
{
    setObjectName(QStringLiteral("keyManagementFrame"));
    // A plain widget is a "filler" to a screen reader; this one is a window.
    static const bool roleKnown = [] {
        QAccessible::installFactory(
            [](const QString &key, QObject *object) -> QAccessibleInterface * {
                if (key != QLatin1String("CPropertyFrame1") || !object->isWidgetType())
                    return nullptr;
                return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
            });
        return true;
    }();
    Q_UNUSED(roleKnown);
    setWindowTitle(QString::fromUtf8(kKeyManagementTitle));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pKeySheet);
    // The window takes the size its largest page asks for and keeps it.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Escape is Cancel, which only hides the window (F1, the current page's Help, is in event()).
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setObjectName(QStringLiteral("escapeShortcut"));
    connect(escape, &QShortcut::activated, this, &QWidget::hide);
}

bool CPropertyFrame1::event(QEvent *event)
{
    // The main window's F1 also reaches its tool windows, and two F1 shortcuts would cancel each
    // other out: this window takes the key before shortcuts are looked at.
    const bool keyEvent =
        event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress;
    const auto *key = keyEvent ? static_cast<QKeyEvent *>(event) : nullptr;
    const bool f1 = key && key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier;
    if (!f1)
        return QWidget::event(event);
    event->accept();
    if (event->type() == QEvent::KeyPress) {
        if (auto *page = qobject_cast<CKeyManagementPage *>(m_pKeySheet->currentWidget()))
            ShowHelpContext(page->helpContext(), page);
    }
    return true;
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
