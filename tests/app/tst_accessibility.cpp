// The dialogs and key pages as a screen reader and the keyboard see them, through Qt's
// accessibility interface: every window is a window or dialog, every field and list has a name to
// speak and a mnemonic to reach it, every button and tab a mnemonic, a choice made by its
// accessible action takes effect as a click would, and F1 opens the window's own help topic.

#include "core/settings.h"
#include "extras/dailytipdlg.h"
#include "jobs/clipboardopsdlg.h"
#include "jobs/decryptiondlg.h"
#include "jobs/directorycryptdlg.h"
#include "jobs/encryptiondlg.h"
#include "keys/listnamesdlg.h"
#include "keys/mypropertysheet1.h"
#include "keys/propertyframe1.h"
#include "options/preferencesdlg.h"
#include "options/runtimeoptionsdlg.h"
#include "platform/filedialog.h"
#include "platform/help.h"
#include "platform/messagebox.h"
#include "testsupport.h"
#include "widgets/windowaids.h"
#include "widgetsupport.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <functional>
#include <memory>

namespace {

struct Window
{
    const char *name;
    std::function<QWidget *()> make;
    // The help topic F1 opens; for the key management window, that of the page shown first.
    quint32 help;
};

const QList<Window> &windows()
{
    static const QList<Window> list{
        {"runtime options", [] { return new CRuntimeOptionsDlg; }, 0x200A5},
        {"preferences", [] { return new CPreferencesDlg; }, 0x200A6},
        {"encryption", [] { return new CEncryptionDlg; }, CEncryptionDlg::kHelpContext},
        {"decryption", [] { return new CDecryptionDlg; }, CDecryptionDlg::kHelpContext},
        {"clipboard", [] { return new CClipboardOpsDlg; }, CClipboardOpsDlg::kHelpContext},
        {"directory", [] { return new CDirectoryCryptDlg; }, CDirectoryCryptDlg::kHelpContext},
        {"key management", [] { return new CPropertyFrame1(nullptr); }, 0x2007B},
        {"name picker", [] { return new CListNamesDlg; }, 0},
        {"tip of the day", [] { return new CDailyTipDlg; }, 0},
    };
    return list;
}

QWidget *keyPage(QWidget *frame, int index)
{
    auto *sheet = static_cast<CPropertyFrame1 *>(frame)->sheet();
    sheet->setCurrentIndex(index);
    return sheet->currentWidget();
}

// One choice, made through the accessible toggle action, and what it must have changed.
struct Choice
{
    const char *name;
    const char *window;
    const char *button;
    std::function<void(QWidget *)> prepare;
    std::function<bool(QWidget *)> tookEffect;
};

bool disabled(QWidget *window, const char *field)
{
    return !child<QWidget>(window, field)->isEnabled();
}

const QList<Choice> &choices()
{
    static const QList<Choice> list{
        {"encryption style", "encryption", "styleClearsignButton", nullptr,
         [](QWidget *w) {
             return RuntimeOptions().ClearsignOnly == 1 && disabled(w, "recipientsEdit");
         }},
        {"clipboard mode", "clipboard", "encryptButton", nullptr,
         [](QWidget *w) { return State().ClipboardMode == 1 && !disabled(w, "signedBox"); }},
        {"clipboard flag", "clipboard", "signedBox", nullptr,
         [](QWidget *) { return RuntimeOptions().SignIt == 1; }},
        {"directory mode", "directory", "decryptButton",
         [](QWidget *) { State().DirectoryMode = 1; },
         [](QWidget *) { return State().DirectoryMode == 0; }},
        {"runtime flag", "runtime options", "armorCheck", nullptr,
         [](QWidget *) { return RuntimeOptions().Armor == 1; }},
        {"debug mode", "preferences", "debugModeCheck", nullptr,
         [](QWidget *) { return RuntimeOptions().DebugMode == 1; }},
        {"extract a key", "key management", "extractRadio", [](QWidget *w) { keyPage(w, 1); },
         [](QWidget *w) { return disabled(keyPage(w, 1), "keyFileEdit"); }},
        {"remove signatures", "key management", "removeSignaturesRadio",
         [](QWidget *w) { keyPage(w, 2); },
         [](QWidget *w) { return disabled(keyPage(w, 2), "ownUserIdEdit"); }},
    };
    return list;
}

// A label with a mnemonic names the field, or a group box with one holds it.
bool reachable(QWidget *window, QWidget *field)
{
    for (QLabel *label : window->findChildren<QLabel *>()) {
        if (label->buddy() == field && label->text().contains(QLatin1Char('&')))
            return true;
    }
    for (QWidget *w = field; w != window; w = w->parentWidget()) {
        if (auto *box = qobject_cast<QGroupBox *>(w);
            box && box->title().contains(QLatin1Char('&')))
            return true;
    }
    return false;
}

std::unique_ptr<QWidget> open(const QString &name)
{
    for (const Window &w : windows()) {
        if (name == QLatin1String(w.name))
            return std::unique_ptr<QWidget>(w.make());
    }
    qFatal("no window %s", qPrintable(name));
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InstallWindowAids(); }
    void init();
    void cleanup();
    void everyTextFieldHasAName_data();
    void everyTextFieldHasAName();
    void choiceByAccessibleActionTakesEffect_data();
    void choiceByAccessibleActionTakesEffect();
    void f1OpensTheWindowsHelp_data();
    void f1OpensTheWindowsHelp();
    void escapeHidesKeyManagement();

private:
    ScratchSettings m_settings;
};

void TestAccessibility::init()
{
    ResetState();
    MessageBox::setTestMode(true);
    MessageBox::clearShown();
    FileDialog::setTestMode(true);
    FileDialog::clearAsked();
}

void TestAccessibility::cleanup()
{
    QVERIFY(std::none_of(QApplication::topLevelWidgets().cbegin(),
                         QApplication::topLevelWidgets().cend(),
                         [](QWidget *w) { return w->isVisible(); }));
}

void TestAccessibility::everyTextFieldHasAName_data()
{
    QTest::addColumn<QString>("window");
    for (const Window &w : windows())
        QTest::newRow(w.name) << QString::fromLatin1(w.name);
}

void TestAccessibility::everyTextFieldHasAName()
{
    QFETCH(QString, window);
    const std::unique_ptr<QWidget> w = open(window);
    w->show();
    const QAccessible::Role role = QAccessible::queryAccessibleInterface(w.get())->role();
    QVERIFY(role == QAccessible::Window || role == QAccessible::Dialog);
    QList<QWidget *> fields;
    for (QLineEdit *edit : w->findChildren<QLineEdit *>())
        fields << edit;
    for (QPlainTextEdit *edit : w->findChildren<QPlainTextEdit *>())
        fields << edit;
    for (QAbstractItemView *list : w->findChildren<QAbstractItemView *>()) {
        if (list->window() == w.get()) // not a combo box's pop-up
            fields << list;
    }
    for (QWidget *field : std::as_const(fields)) {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(field);
        QVERIFY(iface);
        QVERIFY2(!iface->text(QAccessible::Name).isEmpty(), qPrintable(field->objectName()));
        QVERIFY2(reachable(w.get(), field), qPrintable(field->objectName()));
    }
    for (QAbstractButton *button : w->findChildren<QAbstractButton *>()) {
        if (!button->text().isEmpty())
            QVERIFY2(button->text().contains(QLatin1Char('&')), qPrintable(button->text()));
    }
    for (QTabWidget *tabs : w->findChildren<QTabWidget *>()) {
        for (int i = 0; i < tabs->count(); ++i)
            QVERIFY2(tabs->tabText(i).contains(QLatin1Char('&')), qPrintable(tabs->tabText(i)));
    }
    w->hide();
}

void TestAccessibility::choiceByAccessibleActionTakesEffect_data()
{
    QTest::addColumn<int>("row");
    for (qsizetype i = 0; i < choices().size(); ++i)
        QTest::newRow(choices()[i].name) << int(i);
}

void TestAccessibility::choiceByAccessibleActionTakesEffect()
{
    QFETCH(int, row);
    const Choice &choice = choices()[row];
    const std::unique_ptr<QWidget> w = open(QString::fromLatin1(choice.window));
    if (choice.prepare)
        choice.prepare(w.get());
    w->show();
    QAccessibleInterface *iface =
        QAccessible::queryAccessibleInterface(child<QWidget>(w.get(), choice.button));
    QVERIFY(iface && iface->actionInterface());
    const QString toggle = QAccessibleActionInterface::toggleAction();
    QVERIFY(iface->actionInterface()->actionNames().contains(toggle));
    iface->actionInterface()->doAction(toggle);
    QVERIFY(iface->state().checked);
    QVERIFY(choice.tookEffect(w.get()));
    w->hide();
}

void TestAccessibility::f1OpensTheWindowsHelp_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("page");
    QTest::addColumn<quint32>("help");
    for (const Window &w : windows()) {
        if (w.help)
            QTest::newRow(w.name) << QString::fromLatin1(w.name) << -1 << w.help;
    }
    const quint32 pageHelp[] = {0x2007B, 0x2007C, 0x2007D, 0x2007E, 0x2007F, 0x20084};
    for (int page = 1; page < 6; ++page)
        QTest::addRow("key page %d", page + 1)
            << QStringLiteral("key management") << page << pageHelp[page];
}

void TestAccessibility::f1OpensTheWindowsHelp()
{
    QFETCH(QString, window);
    QFETCH(int, page);
    QFETCH(quint32, help);
    const std::unique_ptr<QWidget> w = open(window);
    if (page >= 0)
        keyPage(w.get(), page)->setFocus();
    w->show();
    QApplication::setActiveWindow(w.get());
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QWidget *focus = QApplication::focusWidget() ? QApplication::focusWidget() : w.get();
    QTest::keyClick(focus, Qt::Key_F1);
    QCOMPARE(LastHelpContext(), help);
    w->hide();
}

void TestAccessibility::escapeHidesKeyManagement()
{
    const std::unique_ptr<QWidget> w = open(QStringLiteral("key management"));
    CPropertyFrame1::Open(static_cast<CPropertyFrame1 *>(w.get()), nullptr);
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    auto *field = child<QLineEdit>(keyPage(w.get(), 1), "keyFileEdit");
    field->setFocus();
    QTest::keyClicks(field, QStringLiteral("kept"));
    QTest::keyClick(field, Qt::Key_Escape);
    QVERIFY(!w->isVisible());
    QCOMPARE(field->text(), QStringLiteral("kept"));
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
