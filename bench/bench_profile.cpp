// Stores a [Keys]-like section of 10,000 entries in one batched write and reads it back,
// printing the median of several runs beside the target.
#include "platform/privateprofile.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
} // namespace

int main()
{
    QTemporaryDir dir;
    const QString file = dir.path() + QStringLiteral("/ZORVEX 5.INI");
    constexpr int kKeys = 10000;
    QList<ProfileEntry> entries;
    entries.append({QStringLiteral("NumbrOfKeys"), QString::number(kKeys)});
    for (int i = 1; i <= kKeys; ++i)
        entries.append({QStringLiteral("Key%1").arg(i),
                        QStringLiteral("2048/%1 1996/05/04 Example User %1 <user%1@example.org>")
                            .arg(0x10000000 + i, 8, 16, QLatin1Char('0'))
                            .toUpper()});
    WritePrivateProfileString(QStringLiteral("Operations"), QStringLiteral("Armor"),
                              QStringLiteral("1"), file);

    std::vector<double> writes, reads;
    for (int run = 0; run < 9; ++run) {
        QElapsedTimer t;
        t.start();
        WriteProfileSection(QStringLiteral("Keys"), entries, file);
        writes.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        const auto back = ReadProfileSection(QStringLiteral("Keys"), file);
        reads.push_back(t.nsecsElapsed() / 1e6);
        if (back.size() != entries.size())
            std::fprintf(stderr, "read back %lld entries, expected %lld\n", (long long)back.size(),
                         (long long)entries.size());
    }
    std::printf("settings store, [Keys] of %d entries: batched write %.1f ms (target <= 50 ms)\n",
                kKeys, median(writes));
    std::printf(
        "settings store, [Keys] of %d entries: whole-section read %.1f ms (target <= 50 ms)\n",
        kKeys, median(reads));
    return 0;
}
