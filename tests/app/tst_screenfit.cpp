// Every window and dialog at scale factor 2 on a 1280x960 screen (640x480 logical pixels): it is
// wholly on the screen and no smaller than its layout needs, so nothing is cut off.

#include "app/aboutdlg.h"
#include "core/settings.h"
#include "extras/dailytipdlg.h"
#include "jobs/clipboardopsdlg.h"
#include "jobs/decryptiondlg.h"
#include "jobs/directorycryptdlg.h"
#include "jobs/encryptiondlg.h"
#include "jobs/waitwindow.h"
#include "keys/listnamesdlg.h"
#include "keys/propertyframe1.h"
#include "options/preferencesdlg.h"
#include "options/runtimeoptionsdlg.h"
#include "testsupport.h"
#include "ui/mainframe.h"
#include "widgets/windowaids.h"

#include <QApplication>
#include <QScreen>
#include <functional>
#include <memory>

using Maker = std::function<QWidget *()>;
Q_DECLARE_METATYPE(Maker)

class TestScreenFit : public QObject
{
    Q_OBJECT

private slots:
    void fitsTheScreen_data();
    void fitsTheScreen();

private:
    ScratchSettings m_settings;
};

void TestScreenFit::fitsTheScreen_data()
{
    // Long user IDs, as key rings have them, widen the key lists.
    QByteArray keys("[Keys]\r\n");
    for (int i = 1; i <= 30; ++i)
        keys += "Key" + QByteArray::number(i) + "=4096/0000ABCD 2026/12/08 Somebody With A Long " +
                "Name " + QByteArray::number(i) + " <somebody.long.name@example.org>\r\n";
    m_settings.write(keys + "NumbrOfKeys=30\r\n");
    State().KeyNameCount = 30;
    QTest::addColumn<Maker>("make");
    QTest::newRow("main window") << Maker([] { return new CMainFrame; });
    QTest::newRow("runtime options") << Maker([] { return new CRuntimeOptionsDlg; });
    QTest::newRow("preferences") << Maker([] { return new CPreferencesDlg; });
    QTest::newRow("encryption") << Maker([] { return new CEncryptionDlg; });
    QTest::newRow("decryption") << Maker([] { return new CDecryptionDlg; });
    QTest::newRow("clipboard") << Maker([] { return new CClipboardOpsDlg; });
    QTest::newRow("directory") << Maker([] { return new CDirectoryCryptDlg; });
    QTest::newRow("key management") << Maker([] { return new CPropertyFrame1(nullptr); });
    QTest::newRow("name picker") << Maker([] { return new CListNamesDlg; });
    QTest::newRow("tip of the day") << Maker([] { return new CDailyTipDlg; });
    QTest::newRow("about") << Maker([] { return new CAboutDlg; });
    QTest::newRow("job wait") << Maker([] { return MakeWaitWindow(nullptr, QStringLiteral("x")); });
}

void TestScreenFit::fitsTheScreen()
{
    QFETCH(Maker, make);
    const std::unique_ptr<QWidget> w(make());
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    const QRect screen = w->screen()->availableGeometry();
    QCOMPARE(screen.size(), QSize(640, 480));
    QVERIFY2(screen.contains(w->frameGeometry()),
             qPrintable(QStringLiteral("%1x%2")
                            .arg(w->frameGeometry().width())
                            .arg(w->frameGeometry().height())));
    QCOMPARE(w->size().expandedTo(w->minimumSizeHint()), w->size()); // nothing cut off
    w->hide();
}

int main(int argc, char *argv[])
{
    QTemporaryDir dir;
    QFile config(dir.filePath(QStringLiteral("screen.json")));
    if (!config.open(QIODevice::WriteOnly) ||
        config.write(R"({"screens": [{"name": "s", "x": 0, "y": 0, "width": 1280,
                         "height": 960, "logicalDpi": 96, "logicalBaseDpi": 96}]})") < 0)
        return 1;
    config.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config.fileName()));
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    InstallWindowAids();
    TestScreenFit test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_screenfit.moc"
