#include "helppopup.h"

#include "commandtable.h"

#include <QAction>
#include <QMenu>

HelpPopupStep::HelpPopupStep(TipActionFactory factory) : m_factory(std::move(factory)) {}

HelpPopupStep::~HelpPopupStep() = default;

bool HelpPopupStep::apply(QList<QAction *> &bar)
{
    const QString help = QString::fromUtf8(kHelpMenuTitle);
    const QString tip = QString::fromUtf8(kTipMenuText);

    bool found = false;
    for (QAction *item : std::as_const(bar)) {
        // Exact comparison: "Help" without its ampersand is not the Help popup.
        if (item->text().left(256) == help && item->menu()) {
            m_ref = item->menu();
            found = true;
        }
    }

    if (found) {
        const QList<QAction *> items = m_ref->actions();
        if (items.isEmpty() || items.first()->text() != tip) {
            QAction *before = items.isEmpty() ? nullptr : items.first();
            QAction *tipAction = m_factory(m_ref);
            m_ref->insertAction(before, tipAction);
            m_ref->insertSeparator(before);
        }
        return false;
    }

    if (!m_ref) {
        m_ownPopup = std::make_unique<QMenu>(help);
        m_ownPopup->setObjectName(QStringLiteral("sharedHelpPopup"));
        m_ownPopup->addAction(m_factory(m_ownPopup.get()));
        m_ref = m_ownPopup.get();
    }
    QAction *entry = m_ref->menuAction();
    entry->setText(help);
    bar.append(entry);
    return true;
}
