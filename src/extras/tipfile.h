#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

class QIODevice;

// Reading "tips.txt". Plain functions over a QIODevice so that the rules can be exercised
// without a dialog (tests, fuzzing).
//
// A line is a tip unless it starts with a blank, a tab, a line end or ";". Lines are read in
// chunks of at most kTipChunk bytes; the rest of a longer line is read as a line of its own.
// At the end of the file reading starts again at the beginning.

inline constexpr qint64 kTipChunk = 999;
inline constexpr auto kTipsFileName = "tips.txt";

bool IsTipLine(const QByteArray &line);

enum class TipRead
{
    Tip,          // *tip holds the line as read, line end included
    NoTipLine,    // a whole pass over the file found no tip: the file holds none
    CannotRewind, // the end was reached and the device cannot go back to its start
};

// Reads on from the device's current position to the next tip.
TipRead ReadTipLine(QIODevice &file, QByteArray *tip);

// The 24-character "Www Mmm dd hh:mm:ss yyyy" form (English names, day padded with a blank),
// independent of the user's locale so that the stored stamp compares equal across runs.
QString TipTimeStampText(const QDateTime &time);
// The stamp of a file: its status-change time (ctime). Empty when the file cannot be read.
QString TipsFileTimeStamp(const QString &path);

// Where "tips.txt" is looked for. The current directory always comes first, so that a user's
// own tips file wins; then the data directories: "../share/zorvex5" next to the executable
// (an installed program) and, for a program run from its build tree, the source tree's res/.
QStringList TipsDataDirectories();
// Replaces the data directories (tests); std::nullopt restores the default list.
void SetTipsDataDirectories(std::optional<QStringList> directories);
// The path of the tips file to use, or an empty string when there is none.
QString LocateTipsFile();
