#include "ui/commandtable.h"
#include "ui/helppopup.h"

#include <QAction>
#include <QMenu>
#include <QtTest>
#include <memory>

// The Tip of the Day item that each menu bar gets in its Help popup.
class TestHelpPopup : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_made = 0; }
    void insertedOnceAboveTheHelpItems();
    void eachBarGetsItsOwnItem();
    void barWithoutHelpGetsTheSharedPopupAppended();
    void barWithoutHelpGetsAFreshPopupWhenNoneWasSeen();

private:
    static QStringList texts(const QMenu *menu);
    HelpPopupStep makeStep();
    std::vector<std::unique_ptr<QMenu>> m_menus;
    int m_made = 0;
    QMenu *menu(const QString &title, const QStringList &items);
};

QStringList TestHelpPopup::texts(const QMenu *menu)
{
    QStringList out;
    for (const QAction *a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("--") : a->text());
    return out;
}

HelpPopupStep TestHelpPopup::makeStep()
{
    return HelpPopupStep([this](QMenu *popup) {
        ++m_made;
        auto *a = new QAction(QString::fromUtf8(kTipMenuText), popup);
        a->setData(109);
        return a;
    });
}

QMenu *TestHelpPopup::menu(const QString &title, const QStringList &items)
{
    m_menus.push_back(std::make_unique<QMenu>(title));
    for (const QString &item : items)
        m_menus.back()->addAction(item);
    return m_menus.back().get();
}

void TestHelpPopup::insertedOnceAboveTheHelpItems()
{
    HelpPopupStep step = makeStep();
    QMenu *help = menu(QStringLiteral("&Help"),
                       {QStringLiteral("&Help Topics"), QStringLiteral("&About Zorvex 5...")});
    QList<QAction *> bar{menu(QStringLiteral("&File"), {QStringLiteral("E&xit")})->menuAction(),
                         help->menuAction()};
    QVERIFY(!step.apply(bar));
    QVERIFY(!step.apply(bar));
    QCOMPARE(bar.size(), 2);
    QCOMPARE(texts(help),
             (QStringList{QStringLiteral("Ti&p of the Day..."), QStringLiteral("--"),
                          QStringLiteral("&Help Topics"), QStringLiteral("&About Zorvex 5...")}));
    QCOMPARE(step.helpPopupRef(), help);
}

void TestHelpPopup::eachBarGetsItsOwnItem()
{
    HelpPopupStep step = makeStep();
    QMenu *help128 = menu(QStringLiteral("&Help"), {QStringLiteral("&Help Topics")});
    QMenu *help129 = menu(QStringLiteral("&Help"), {QStringLiteral("&Help Topics")});
    QList<QAction *> bar128{help128->menuAction()};
    QList<QAction *> bar129{help129->menuAction()};
    step.apply(bar128);
    step.apply(bar129);
    step.apply(bar128);
    QCOMPARE(texts(help128).count(QStringLiteral("Ti&p of the Day...")), 1);
    QCOMPARE(texts(help129).count(QStringLiteral("Ti&p of the Day...")), 1);
    QCOMPARE(texts(help129).count(QStringLiteral("--")), 1);
    QCOMPARE(step.helpPopupRef(), help128);
}

void TestHelpPopup::barWithoutHelpGetsTheSharedPopupAppended()
{
    HelpPopupStep step = makeStep();
    QMenu *help = menu(QStringLiteral("&Help"), {QStringLiteral("&Help Topics")});
    QList<QAction *> withHelp{help->menuAction()};
    step.apply(withHelp);
    // "Help" without its ampersand is not the Help popup.
    QList<QAction *> without{
        menu(QStringLiteral("Help"), {QStringLiteral("Topics")})->menuAction()};
    QVERIFY(step.apply(without));
    QCOMPARE(without.size(), 2);
    QCOMPARE(without.last()->menu(), help);
    QCOMPARE(without.last()->text(), QStringLiteral("&Help"));
    QCOMPARE(m_made, 1);
}

void TestHelpPopup::barWithoutHelpGetsAFreshPopupWhenNoneWasSeen()
{
    m_made = 0;
    HelpPopupStep step = makeStep();
    QList<QAction *> bar{menu(QStringLiteral("Help"), {QStringLiteral("Topics")})->menuAction()};
    QVERIFY(step.apply(bar));
    QCOMPARE(bar.size(), 2);
    QCOMPARE(bar.last()->text(), QStringLiteral("&Help"));
    QCOMPARE(texts(bar.last()->menu()), QStringList{QStringLiteral("Ti&p of the Day...")});
    // The next opening finds the appended "&Help" and changes nothing.
    QVERIFY(!step.apply(bar));
    QCOMPARE(bar.size(), 2);
    QCOMPARE(texts(bar.last()->menu()), QStringList{QStringLiteral("Ti&p of the Day...")});
    QCOMPARE(m_made, 1);
}

QTEST_MAIN(TestHelpPopup)
#include "tst_helppopup.moc"
