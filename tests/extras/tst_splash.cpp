#include "extras/splash.h"
#include "testsupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QScreen>
#include <QTimer>

namespace {
void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
} // namespace

class TestSplash : public QObject
{
    Q_OBJECT

private slots:
    void init() { SetSplashEnabled(true); }
    void cleanup();

    void serverFlags_data();
    void serverFlags();
    void showsCentredPicture();
    void disabledOrShowingOffersNothing();
    void keyPressClosesAndStillArrives();
    void mouseClickClosesButMoveDoesNot();
    void closesAfterThreeSeconds();
};

void TestSplash::cleanup()
{
    CloseSplash();
    flushDeletes();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestSplash::serverFlags_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("splash");
    QTest::newRow("none") << QStringList{} << true;
    QTest::newRow("slash Embedding") << QStringList{"/Embedding"} << false;
    QTest::newRow("minus Automation") << QStringList{"-Automation"} << false;
    QTest::newRow("after a file") << QStringList{"notes.txt", "/Automation"} << false;
    QTest::newRow("lower-case embedding") << QStringList{"/embedding"} << true;
    QTest::newRow("lower-case automation") << QStringList{"-automation"} << true;
    QTest::newRow("no flag sign") << QStringList{"Embedding"} << true;
    QTest::newRow("longer word") << QStringList{"/Embedding2"} << true;
    QTest::newRow("other flags") << QStringList{"/dde", "-p", "/pt"} << true;
}

void TestSplash::serverFlags()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, splash);
    arguments.prepend(QStringLiteral("zorvex5"));
    QCOMPARE(SplashWantedFor(arguments), splash);

    SetSplashEnabled(SplashWantedFor(arguments));
    OfferSplash(nullptr);
    QCOMPARE(CurrentSplash() != nullptr, splash);
}

void TestSplash::showsCentredPicture()
{
    OfferSplash(nullptr);
    QWidget *splash = CurrentSplash();
    QVERIFY(splash);
    QVERIFY(splash->isVisible());
    QCOMPARE(splash->size(), QSize(378, 274));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(qAbs(splash->geometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(splash->geometry().center().y() - screen.center().y()) <= 1);
    const QImage shot = splash->grab().toImage();
    QVERIFY(shot.pixelColor(200, 60) != splash->palette().color(QPalette::Window));
}

void TestSplash::disabledOrShowingOffersNothing()
{
    SetSplashEnabled(false);
    OfferSplash(nullptr);
    QVERIFY(!CurrentSplash());
    SetSplashEnabled(true);
    OfferSplash(nullptr);
    QWidget *first = CurrentSplash();
    OfferSplash(nullptr);
    QCOMPARE(CurrentSplash(), first);
    const auto windows = QApplication::topLevelWidgets();
    QCOMPARE(std::count_if(windows.cbegin(), windows.cend(),
                           [](QWidget *w) { return w->objectName() == "splashWindow"; }),
             1);
}

void TestSplash::keyPressClosesAndStillArrives()
{
    QMainWindow main;
    auto *edit = new QLineEdit(&main);
    main.setCentralWidget(edit);
    OfferSplash(&main);
    QVERIFY(CurrentSplash());
    main.show();
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A);
    QVERIFY(!CurrentSplash());
    QCOMPARE(edit->text(), QStringLiteral("a"));
    // Once closed, keys are left alone altogether.
    QTest::keyClick(edit, Qt::Key_B);
    QCOMPARE(edit->text(), QStringLiteral("ab"));
}

void TestSplash::mouseClickClosesButMoveDoesNot()
{
    OfferSplash(nullptr);
    QWidget *splash = CurrentSplash();
    QVERIFY(splash);
    QTest::mouseMove(splash, QPoint(50, 50));
    QMouseEvent move(QEvent::MouseMove, QPointF(60, 60), QPointF(60, 60), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(splash, &move);
    QCOMPARE(CurrentSplash(), splash);
    QTest::mouseClick(splash, Qt::RightButton, {}, QPoint(50, 50));
    QVERIFY(!CurrentSplash());
}

void TestSplash::closesAfterThreeSeconds()
{
    QMainWindow main;
    main.show();
    OfferSplash(&main);
    QVERIFY(CurrentSplash());
    QTest::qWait(2500);
    QVERIFY(CurrentSplash());
    QTRY_VERIFY_WITH_TIMEOUT(!CurrentSplash(), 2000);
}

QTEST_MAIN(TestSplash)
#include "tst_splash.moc"
