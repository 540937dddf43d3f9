// The settings-file reader and writer on arbitrary file contents: reads must not crash, and a
// write must keep every byte that was there before.
#include "platform/privateprofile.h"

#include <QDir>
#include <QFile>

#include <cstdlib>
#include <unistd.h>

namespace {
QString scratchFile()
{
    static const QString path =
        QDir::tempPath() + QStringLiteral("/zorvex-fuzz-profile-%1.ini").arg(::getpid());
    return path;
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        std::abort();
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        std::abort();
    return f.readAll();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString file = scratchFile();
    writeAll(file, content);

    const QString section = QStringLiteral("Operations");
    GetPrivateProfileString(section, QStringLiteral("MyName"), QString(), 40, file);
    GetPrivateProfileInt(section, QStringLiteral("Armor"), 0, file);
    ReadProfileSection(QStringLiteral("Keys"), file);

    // A key of a section that no input can hold goes into a new section at the end.
    if (!WritePrivateProfileString(QStringLiteral("Zorvex Fuzz \x01"), QStringLiteral("k"),
                                   QStringLiteral("v"), file))
        std::abort();
    if (!readAll(file).startsWith(content))
        std::abort();
    if (GetPrivateProfileString(QStringLiteral("Zorvex Fuzz \x01"), QStringLiteral("k"), QString(),
                                8, file) != QStringLiteral("v"))
        std::abort();

    // Replacing and removing sections of the input must not crash either.
    WritePrivateProfileString(section, QStringLiteral("Armor"), QStringLiteral("1"), file);
    WriteProfileSection(QStringLiteral("Keys"), {{QStringLiteral("Key1"), QStringLiteral("x")}},
                        file);
    WritePrivateProfileString(section, std::nullopt, std::nullopt, file);
    return 0;
}
