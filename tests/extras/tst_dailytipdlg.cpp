#include "extras/dailytipdlg.h"
#include "extras/tipfile.h"
#include "platform/messagebox.h"
#include "platform/privateprofile.h"
#include "platform/settingsdir.h"
#include "testsupport.h"
#include "widgetsupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace {
const QByteArray kTips("; Tips for the test\n"
                       "First tip.\n"
                       "  an indented line\n"
                       "\n"
                       "\tanother\n"
                       "Second tip.\n"
                       ";Third is a comment\n"
                       "Third tip.\n");

QString profile()
{
    return QLatin1String(kApplicationProfile);
}

int tipInt(const char *key, int fallback = -1)
{
    return GetPrivateProfileInt(QStringLiteral("Tip"), QLatin1String(key), fallback, profile());
}

void setTip(const char *key, const QString &value)
{
    WritePrivateProfileString(QStringLiteral("Tip"), QLatin1String(key), value, profile());
}

QString setting(const char *key)
{
    return GetPrivateProfileString(QStringLiteral("Tip"), QLatin1String(key), QString(), 64,
                                   profile());
}

QString nextStartTip()
{
    CDailyTipDlg dialog;
    return dialog.tipText();
}
} // namespace

class TestDailyTipDlg : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void eachStartShowsTheNextTip();
    void changedTimeStampRestarts();
    void nextTipRefreshesEveryControl();
    void closeWritesStartUp();
    void escapeKeepsStartUp();
    void startUpOffStillAdvances();
    void serverStartReadsNothing();
    void missingFile();
    void fileWithoutTips();
    void unreachablePosition();
    void installedCopyIsUsed();

private:
    void writeTips(const QByteArray &text);

    std::unique_ptr<ScratchSettings> m_settings;
    std::unique_ptr<QTemporaryDir> m_work;
    QString m_savedDir;
};

void TestDailyTipDlg::init()
{
    m_settings = std::make_unique<ScratchSettings>();
    m_work = std::make_unique<QTemporaryDir>();
    m_savedDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_work->path()));
    SetTipsDataDirectories(QStringList{}); // only the current directory counts
    MessageBox::setTestMode(true);
    MessageBox::clearShown();
}

void TestDailyTipDlg::cleanup()
{
    SetTipsDataDirectories(std::nullopt);
    QVERIFY(QDir::setCurrent(m_savedDir));
    m_work.reset();
    m_settings.reset();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestDailyTipDlg::writeTips(const QByteArray &text)
{
    QFile f(QStringLiteral("tips.txt"));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(text), text.size());
}

// Comments, indented and empty lines never show, and after the last tip comes the first.
void TestDailyTipDlg::eachStartShowsTheNextTip()
{
    writeTips(kTips);
    QStringList seen;
    for (int i = 0; i < 4; ++i)
        seen << nextStartTip();
    QCOMPARE(seen, (QStringList{"First tip.\n", "Second tip.\n", "Third tip.\n", "First tip.\n"}));
    QCOMPARE(setting("TimeStamp"), TipsFileTimeStamp(QStringLiteral("tips.txt")));
    QCOMPARE(tipInt("FilePos"), int(kTips.indexOf("  an indented"))); // just after the tip
}

void TestDailyTipDlg::changedTimeStampRestarts()
{
    writeTips(kTips);
    QCOMPARE(nextStartTip(), QStringLiteral("First tip.\n"));
    QCOMPARE(nextStartTip(), QStringLiteral("Second tip.\n"));
    setTip("TimeStamp", QStringLiteral("Mon Jan  1 00:00:00 2001"));
    QCOMPARE(nextStartTip(), QStringLiteral("First tip.\n"));
    QCOMPARE(setting("TimeStamp").size(), 24);
}

void TestDailyTipDlg::nextTipRefreshesEveryControl()
{
    writeTips(kTips);
    CDailyTipDlg dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Tip of the Day"));
    dialog.show();
    auto *text = child<QLabel>(&dialog, "tipText");
    auto *check = child<QCheckBox>(&dialog, "startUpCheck");
    QCOMPARE(text->text(), QStringLiteral("First tip."));
    QVERIFY(check->isChecked());
    clickAtLeft(&dialog, "startUpCheck");
    QVERIFY(!check->isChecked());
    clickAtLeft(&dialog, "nextTipButton");
    QCOMPARE(text->text(), QStringLiteral("Second tip."));
    QVERIFY(check->isChecked()); // back to the dialog's state
    dialog.reject();
}

void TestDailyTipDlg::closeWritesStartUp()
{
    writeTips(kTips);
    {
        CDailyTipDlg dialog;
        dialog.show();
        clickAtLeft(&dialog, "startUpCheck");
        clickAtLeft(&dialog, "closeButton");
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    QCOMPARE(tipInt("StartUp"), 1);
    {
        CDailyTipDlg dialog;
        QVERIFY(!dialog.startUpFlag());
        dialog.show();
        clickAtLeft(&dialog, "startUpCheck");
        clickAtLeft(&dialog, "closeButton");
    }
    QCOMPARE(tipInt("StartUp"), 0);
}

void TestDailyTipDlg::escapeKeepsStartUp()
{
    writeTips(kTips);
    bool acted = false;
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        clickAtLeft(dialog, "startUpCheck");
        QTest::keyClick(dialog, Qt::Key_Escape);
        acted = true;
    });
    ShowStartUpTip(nullptr, {QStringLiteral("zorvex5")});
    QVERIFY(acted);
    QCOMPARE(tipInt("StartUp"), -1); // never written
    QCOMPARE(nextStartTip(), QStringLiteral("Second tip.\n"));
}

void TestDailyTipDlg::startUpOffStillAdvances()
{
    writeTips(kTips);
    setTip("StartUp", QStringLiteral("1"));
    ShowStartUpTip(nullptr, {QStringLiteral("zorvex5")}); // would block if it showed
    ShowStartUpTip(nullptr, {QStringLiteral("zorvex5")});
    QCOMPARE(tipInt("FilePos"), int(kTips.indexOf("\n;Third")) + 1);
    QCOMPARE(nextStartTip(), QStringLiteral("Third tip.\n"));
}

void TestDailyTipDlg::serverStartReadsNothing()
{
    writeTips(kTips);
    ShowStartUpTip(nullptr, {QStringLiteral("zorvex5"), QStringLiteral("/Embedding")});
    ShowStartUpTip(nullptr, {QStringLiteral("zorvex5"), QStringLiteral("-Automation")});
    QCOMPARE(tipInt("FilePos"), -1);
    QVERIFY(!QFile::exists(m_settings->path(profile())));
}

void TestDailyTipDlg::missingFile()
{
    {
        CDailyTipDlg dialog;
        QCOMPARE(child<QLabel>(&dialog, "tipText")->text(),
                 QLatin1String("Tips file does not exist in the prescribed directory"));
        QVERIFY(!child<QPushButton>(&dialog, "nextTipButton")->isEnabled());
    }
    QCOMPARE(tipInt("FilePos"), -1);
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestDailyTipDlg::fileWithoutTips()
{
    writeTips("; only comments\n  and indented lines\n\n");
    {
        CDailyTipDlg dialog;
        QCOMPARE(dialog.tipText(),
                 QLatin1String("Tips file does not exist in the prescribed directory"));
        QVERIFY(!child<QPushButton>(&dialog, "nextTipButton")->isEnabled());
    }
    QCOMPARE(tipInt("FilePos"), -1);
}

void TestDailyTipDlg::unreachablePosition()
{
    writeTips(kTips);
    setTip("TimeStamp", TipsFileTimeStamp(QStringLiteral("tips.txt")));
    setTip("FilePos", QStringLiteral("-5"));
    CDailyTipDlg dialog;
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown().first().text, QStringLiteral("Trouble reading the tips file"));
    QVERIFY(dialog.tipText().isEmpty());
    QVERIFY(child<QPushButton>(&dialog, "nextTipButton")->isEnabled());
}

void TestDailyTipDlg::installedCopyIsUsed()
{
    QTemporaryDir data;
    QFile f(data.path() + QStringLiteral("/tips.txt"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("Installed tip.\n");
    f.close();
    SetTipsDataDirectories(QStringList{data.path()});
    QCOMPARE(nextStartTip(), QStringLiteral("Installed tip.\n"));
    writeTips(kTips); // a tips.txt in the current directory wins
    // Both files may carry the same time stamp (to the second); make the change visible.
    setTip("TimeStamp", QString());
    QCOMPARE(nextStartTip(), QStringLiteral("First tip.\n"));
}

QTEST_MAIN(TestDailyTipDlg)
#include "tst_dailytipdlg.moc"
