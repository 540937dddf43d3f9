// Figures for the job runner and the key list: processor time spent while waiting for a
// 10-second job, delay from the marker's removal to the end of the wait, and parsing plus
// storing a 10,000-key listing. Prints each beside its target.
#include "core/keynamelist.h"
#include "core/settings.h"
#include "jobs/jobrunner.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double nowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("ZORVEX_TOOLS_DIR"))
        qputenv("ZORVEX_TOOLS_DIR", ZORVEX_TOOLS_DIR);
    qputenv("ZORVEX_TERMINAL", "none");
    qputenv("ZORVEX_PGP", "/bin/sleep");
    QTemporaryDir work;
    qputenv("ZORVEX_CONFIG_DIR", QFile::encodeName(work.filePath(QStringLiteral("config"))));
    QDir().mkpath(work.filePath(QStringLiteral("config")));
    QApplication app(argc, argv);
    QDir::setCurrent(work.path());

    // 1. Processor time per second of waiting; the "engine" sleeps for ten seconds.
    JobScript() = QStringLiteral("@ECHO OFF\nPGP.EXE 10 ");
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    const JobOutcome outcome = RunJobScript(QString::fromLatin1(kJobTail));
    const double waited = double(wall.elapsed()) / 1000.0;
    const double cpuPerSecond = (cpuSeconds() - cpuBefore) / waited;
    std::printf("wait for a 10 s job: %.2f s, outcome %d, CPU %.5f s per second of waiting (target "
                "<= 0.01)\n",
                waited, int(outcome), cpuPerSecond);

    // 2. From the marker's removal (by another thread) to the end of the wait.
    std::vector<double> delays;
    for (int i = 0; i < 21; ++i) {
        QFile(QString::fromLatin1(kJobMarkerFile)).open(QIODevice::WriteOnly);
        std::atomic<double> removedAt{0};
        std::thread remover([&removedAt, i] {
            std::this_thread::sleep_for(std::chrono::milliseconds(40 + 7 * i));
            removedAt = nowMs();
            std::remove(kJobMarkerFile);
        });
        WaitForJob();
        const double endedAt = nowMs();
        remover.join();
        delays.push_back(endedAt - removedAt);
    }
    std::printf(
        "marker removal to end of wait: median %.2f ms, worst %.2f ms (target: median <= 50 ms)\n",
        median(delays), *std::max_element(delays.begin(), delays.end()));

    // 3. Parsing and storing a 10,000-key listing.
    QByteArray listing("Key ring: 'pubring.pgp'\r\nType bits/keyID    Date       User ID\r\n");
    for (int i = 1; i <= 10000; ++i) {
        listing +=
            QStringLiteral("pub  2048/%1 1996/05/04 Example User %2 <user%2@example.org>\r\n")
                .arg(0x10000000 + i, 8, 16, QLatin1Char('0'))
                .arg(i)
                .toUtf8();
        listing += "                              Second ID\r\n";
    }
    std::vector<double> times;
    std::vector<double> parseTimes;
    for (int run = 0; run < 7; ++run) {
        QElapsedTimer t;
        t.start();
        const QStringList names = ParseKeyListing(listing);
        parseTimes.push_back(double(t.nsecsElapsed()) / 1e6);
        StoreKeyNames(names);
        times.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::printf("parse and store 10,000 keys: median %.2f ms (parsing alone %.2f ms), %u names "
                "(target <= 50 ms)\n",
                median(times), median(parseTimes), State().KeyNameCount);
    QDir::setCurrent(QDir::tempPath());
    return 0;
}
