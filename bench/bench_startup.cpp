// Start-up of the program to its main window shown, and resident memory once it stands,
// beside a bare Qt main window measured the same way in the same run. Each sample is a fresh
// process, so that neither side profits from the other's warm caches inside one process.
#include "app/zorvex5app.h"
#include "ui/mainframe.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {
double residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

void waitUntilExposed(QWidget *w)
{
    while (!w->windowHandle() || !w->windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
}

// One sample: prints "<ms> <MB>".
int child(int argc, char **argv, bool bare)
{
    QElapsedTimer clock;
    clock.start();
    QApplication application(argc, argv);
    if (bare) {
        QMainWindow window;
        window.setWindowTitle(QStringLiteral("bare"));
        window.resize(800, 600);
        window.show();
        waitUntilExposed(&window);
        std::printf("%.2f %.2f\n", clock.nsecsElapsed() / 1e6, residentMegabytes());
        return 0;
    }
    CZorvex5App app({QStringLiteral("zorvex5")});
    if (!app.InitInstance())
        return 1;
    waitUntilExposed(app.mainWindow());
    std::printf("%.2f %.2f\n", clock.nsecsElapsed() / 1e6, residentMegabytes());
    return 0;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}
} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--sample-bare") == 0)
        return child(argc, argv, true);
    if (argc > 1 && std::strcmp(argv[1], "--sample-zorvex") == 0)
        return child(argc, argv, false);

    // A settings file with cached key names, so that start-up does not begin a key refresh, and
    // the Tip of the Day turned off, whose modal dialog would hold start-up until it is closed.
    QTemporaryDir config;
    {
        QFile ini(config.filePath(QStringLiteral("ZORVEX 5.INI")));
        QFile profile(config.filePath(QStringLiteral("zorvex5.ini")));
        if (!ini.open(QIODevice::WriteOnly) ||
            ini.write("[Keys]\r\nNumbrOfKeys=1\r\nKey1=1024/12345678 1996/01/01 Bench "
                      "<b@example.org>\r\n") < 0 ||
            !profile.open(QIODevice::WriteOnly) || profile.write("[Tip]\r\nStartUp=1\r\n") < 0)
            return 1;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("ZORVEX_CONFIG_DIR"), config.path());

    std::vector<double> bareMs, bareMb, ourMs, ourMb, bareWall, ourWall;
    constexpr int kRuns = 9;
    for (int run = 0; run < kRuns; ++run) {
        for (bool bare : {true, false}) {
            QProcess p;
            p.setProcessEnvironment(env);
            QElapsedTimer wall;
            wall.start();
            p.start(QString::fromLocal8Bit(argv[0]),
                    {bare ? QStringLiteral("--sample-bare") : QStringLiteral("--sample-zorvex")});
            // The child prints its line once the window is exposed: from here that is the time
            // a user waits, loading of the libraries included.
            const bool reported = p.waitForReadyRead(30000);
            (bare ? bareWall : ourWall).push_back(wall.nsecsElapsed() / 1e6);
            if (!reported || !p.waitForFinished(30000) || p.exitCode() != 0) {
                std::fprintf(stderr, "sample run failed: %s\n",
                             p.readAllStandardError().constData());
                return 1;
            }
            const QList<QByteArray> fields = p.readAllStandardOutput().trimmed().split(' ');
            if (fields.size() != 2)
                return 1;
            (bare ? bareMs : ourMs).push_back(fields[0].toDouble());
            (bare ? bareMb : ourMb).push_back(fields[1].toDouble());
        }
    }
    const double ratio = median(ourWall) / std::max(median(bareWall), 0.001);
    std::printf("start-up to main window shown (process start to exposed window): zorvex5 %.1f ms, "
                "bare Qt main window %.1f ms, ratio %.2f (target <= 1.5)\n",
                median(ourWall), median(bareWall), ratio);
    std::printf("  of which inside main() (QApplication to exposed window): zorvex5 %.1f ms, "
                "bare %.1f ms\n",
                median(ourMs), median(bareMs));
    std::printf("resident memory after start-up: zorvex5 %.1f MB (target <= 45 MB), bare Qt main "
                "window %.1f MB\n",
                median(ourMb), median(bareMb));
    std::printf("(median of %d fresh processes each, platform %s)\n", kRuns,
                qPrintable(env.value(QStringLiteral("QT_QPA_PLATFORM"))));
    return 0;
}
