#pragma once

#include <QList>
#include <QPointer>
#include <functional>
#include <memory>

class QAction;
class QMenu;

// Puts "Ti&p of the Day..." at the top of the Help popup each time a menu bar opens. Shared by
// every menu bar of the program, like the single Help popup reference it keeps.
class HelpPopupStep
{
public:
    // Makes the "Ti&p of the Day..." item (command 109) as a child of the given popup.
    using TipActionFactory = std::function<QAction *(QMenu *popup)>;

    explicit HelpPopupStep(TipActionFactory factory);
    ~HelpPopupStep();

    // `bar` holds the top-level items of one menu bar. Returns true when an item was appended
    // to it (a bar without "&Help" gets the shared Help popup).
    bool apply(QList<QAction *> &bar);

    QMenu *helpPopupRef() const { return m_ref; }

private:
    TipActionFactory m_factory;
    QPointer<QMenu> m_ref;
    // Created at most once, for a bar without its own Help popup; lives as long as this step.
    std::unique_ptr<QMenu> m_ownPopup;
};
