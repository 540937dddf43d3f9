#include "privateprofile.h"

#include "settingsdir.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

// One line of a profile file. `raw` holds the bytes as they stand in the file, line end
// included, so untouched lines are written back unchanged.
struct Line
{
    QByteArray raw;
    QByteArray text; // without the line end (and without a byte-order mark on the first line)
    qsizetype textStart = 0;

    QByteArray prefix() const { return raw.left(textStart); }
    QByteArray end() const { return raw.mid(textStart + text.size()); }
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArray trimmed(QByteArrayView v)
{
    qsizetype b = 0;
    qsizetype e = v.size();
    while (b < e && isBlank(v[b]))
        ++b;
    while (e > b && (isBlank(v[e - 1]) || v[e - 1] == '\r'))
        --e;
    return v.sliced(b, e - b).toByteArray();
}

bool equalNoCase(const QString &a, const QByteArray &b)
{
    return a.compare(QString::fromUtf8(b), Qt::CaseInsensitive) == 0;
}

class ProfileFile
{
public:
    explicit ProfileFile(const QString &path) : m_path(path) {}

    bool load()
    {
        QFile f(m_path);
        if (!f.exists())
            return true; // a missing file reads as empty and is created on write
        if (!f.open(QIODevice::ReadOnly))
            return false;
        split(f.readAll());
        return true;
    }

    // Index of the first header of the section, or nullopt.
    std::optional<qsizetype> findSection(const QString &section) const
    {
        for (qsizetype i = 0; i < m_lines.size(); ++i) {
            if (auto name = headerName(m_lines[i]); name && equalNoCase(section, *name))
                return i;
        }
        return std::nullopt;
    }

    // One past the last line of the section that starts at `header`.
    qsizetype sectionEnd(qsizetype header) const
    {
        qsizetype i = header + 1;
        while (i < m_lines.size() && !headerName(m_lines[i]))
            ++i;
        return i;
    }

    std::optional<qsizetype> findKey(qsizetype header, const QString &key) const
    {
        const qsizetype end = sectionEnd(header);
        for (qsizetype i = header + 1; i < end; ++i) {
            if (auto entry = keyValue(m_lines[i]); entry && equalNoCase(key, entry->first))
                return i;
        }
        return std::nullopt;
    }

    QList<ProfileEntry> entries(qsizetype header) const
    {
        QList<ProfileEntry> result;
        const qsizetype end = sectionEnd(header);
        result.reserve(end - header);
        for (qsizetype i = header + 1; i < end; ++i) {
            if (auto entry = keyValue(m_lines[i]))
                result.append({QString::fromUtf8(entry->first), QString::fromUtf8(entry->second)});
        }
        return result;
    }

    QString valueAt(qsizetype line) const
    {
        return QString::fromUtf8(keyValue(m_lines[line])->second);
    }

    void setKey(const QString &section, const QString &key, const QString &value)
    {
        const auto header = findSection(section);
        if (!header) {
            appendSection(section, {{key, value}});
            return;
        }
        if (const auto at = findKey(*header, key)) {
            // Keep the key as it is spelt in the file and the line's own line end.
            Line &line = m_lines[*at];
            const QByteArray text = line.text.left(line.text.indexOf('=') + 1) + clean(value);
            line = {line.prefix() + text + line.end(), text, line.textStart};
            return;
        }
        insertLines(lastContentLine(*header) + 1, {entryLine(key, value)});
    }

    void removeKey(const QString &section, const QString &key)
    {
        const auto header = findSection(section);
        if (!header)
            return;
        while (const auto at = findKey(*header, key))
            m_lines.removeAt(*at);
    }

    void removeSection(const QString &section)
    {
        if (const auto header = findSection(section))
            m_lines.remove(*header, sectionEnd(*header) - *header);
    }

    void replaceSection(const QString &section, const QList<ProfileEntry> &entries)
    {
        const auto header = findSection(section);
        if (!header) {
            appendSection(section, entries);
            return;
        }
        // Blank lines and comments after the last key stay between this and the next section.
        const qsizetype last = lastContentLine(*header);
        m_lines.remove(*header + 1, last - *header);
        QList<Line> fresh;
        fresh.reserve(entries.size());
        for (const ProfileEntry &e : entries)
            fresh.append(entryLine(e.key, e.value));
        insertLines(*header + 1, fresh);
    }

    bool save() const
    {
        if (!EnsureDirectoryFor(m_path))
            return false;
        const QFileInfo info(m_path);
        // Read-only by its mode bits means read-only, also for root.
        if (info.exists() && !(info.permissions() & QFileDevice::WriteOwner))
            return false;
        if (!(QFileInfo(info.absolutePath()).permissions() & QFileDevice::WriteOwner))
            return false;
        const bool existed = info.exists();
        QSaveFile out(m_path);
        if (!out.open(QIODevice::WriteOnly))
            return false;
        for (const Line &line : m_lines) {
            if (out.write(line.raw) != line.raw.size()) {
                out.cancelWriting();
                return false;
            }
        }
        if (!out.commit())
            return false;
        if (!existed)
            QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        return true;
    }

private:
    static QByteArray bom() { return QByteArray("\xEF\xBB\xBF"); }
    static QByteArray crlf() { return QByteArray("\r\n"); }

    // A value is one line of the file: line breaks in it would start new lines.
    static QByteArray clean(const QString &s)
    {
        QByteArray b = s.toUtf8();
        b.replace('\r', ' ').replace('\n', ' ');
        return b;
    }

    static Line entryLine(const QString &key, const QString &value)
    {
        const QByteArray text = clean(key) + '=' + clean(value);
        return {text + crlf(), text, 0};
    }

    static std::optional<QByteArray> headerName(const Line &line)
    {
        const QByteArray t = trimmed(line.text);
        if (!t.startsWith('['))
            return std::nullopt;
        const qsizetype close = t.indexOf(']');
        return trimmed(QByteArrayView(t).sliced(1, (close < 0 ? t.size() : close) - 1));
    }

    static std::optional<std::pair<QByteArray, QByteArray>> keyValue(const Line &line)
    {
        const qsizetype eq = line.text.indexOf('=');
        if (eq < 0)
            return std::nullopt;
        const QByteArrayView text(line.text);
        QByteArray key = trimmed(text.first(eq));
        if (key.isEmpty() || key.startsWith('['))
            return std::nullopt;
        return std::pair{key, trimmed(text.sliced(eq + 1))};
    }

    qsizetype lastContentLine(qsizetype header) const
    {
        qsizetype last = header;
        const qsizetype end = sectionEnd(header);
        for (qsizetype i = header + 1; i < end; ++i) {
            if (keyValue(m_lines[i]))
                last = i;
        }
        return last;
    }

    void insertLines(qsizetype at, const QList<Line> &lines)
    {
        if (lines.isEmpty())
            return;
        terminateLineBefore(at);
        for (qsizetype i = 0; i < lines.size(); ++i)
            m_lines.insert(at + i, lines[i]);
    }

    // A line that ends the file without a line end gets one before anything follows it.
    void terminateLineBefore(qsizetype at)
    {
        if (at > 0 && at - 1 < m_lines.size()) {
            Line &prev = m_lines[at - 1];
            if (!prev.raw.endsWith('\n'))
                prev.raw += crlf();
        }
    }

    void appendSection(const QString &section, const QList<ProfileEntry> &entries)
    {
        QList<Line> lines;
        const QByteArray header = '[' + clean(section) + ']';
        lines.append({header + crlf(), header, 0});
        for (const ProfileEntry &e : entries)
            lines.append(entryLine(e.key, e.value));
        insertLines(m_lines.size(), lines);
    }

    void split(const QByteArray &data)
    {
        qsizetype start = 0;
        while (start < data.size()) {
            qsizetype nl = data.indexOf('\n', start);
            const qsizetype end = nl < 0 ? data.size() : nl + 1;
            Line line;
            line.raw = data.sliced(start, end - start);
            qsizetype textEnd = nl < 0 ? data.size() : nl;
            if (textEnd > start && data[textEnd - 1] == '\r')
                --textEnd;
            qsizetype textStart = start;
            if (start == 0 && line.raw.startsWith(bom()))
                textStart += 3;
            line.text = data.sliced(textStart, qMax<qsizetype>(0, textEnd - textStart));
            line.textStart = textStart - start;
            m_lines.append(line);
            start = end;
        }
    }

    QString m_path;
    QList<Line> m_lines;
};

QString cut(const QString &s, int size)
{
    return size <= 0 ? QString() : s.left(size - 1);
}

} // namespace

QString GetPrivateProfileString(const QString &section, const QString &key,
                                const QString &defaultValue, int size, const QString &file)
{
    ProfileFile profile(ResolveProfilePath(file));
    if (profile.load()) {
        if (const auto header = profile.findSection(section)) {
            if (const auto at = profile.findKey(*header, key))
                return cut(profile.valueAt(*at), size);
        }
    }
    return cut(defaultValue.trimmed(), size);
}

int GetPrivateProfileInt(const QString &section, const QString &key, int defaultValue,
                         const QString &file)
{
    const QString value = GetPrivateProfileString(section, key, QString(), 64, file);
    if (value.isEmpty())
        return defaultValue;
    qsizetype i = 0;
    bool negative = false;
    if (value[0] == QLatin1Char('-') || value[0] == QLatin1Char('+')) {
        negative = value[0] == QLatin1Char('-');
        ++i;
    }
    long long n = 0;
    for (; i < value.size() && value[i] >= QLatin1Char('0') && value[i] <= QLatin1Char('9'); ++i) {
        n = n * 10 + (value[i].unicode() - '0');
        if (n > 0xFFFFFFFFLL)
            n = 0xFFFFFFFFLL; // saturate instead of overflowing on absurd values
    }
    return static_cast<int>(negative ? -n : n);
}

bool WritePrivateProfileString(const QString &section, const std::optional<QString> &key,
                               const std::optional<QString> &value, const QString &file)
{
    ProfileFile profile(ResolveProfilePath(file));
    if (!profile.load())
        return false;
    if (!key)
        profile.removeSection(section);
    else if (!value)
        profile.removeKey(section, *key);
    else
        profile.setKey(section, *key, *value);
    return profile.save();
}

QList<ProfileEntry> ReadProfileSection(const QString &section, const QString &file)
{
    ProfileFile profile(ResolveProfilePath(file));
    if (!profile.load())
        return {};
    const auto header = profile.findSection(section);
    return header ? profile.entries(*header) : QList<ProfileEntry>{};
}

bool WriteProfileSection(const QString &section, const QList<ProfileEntry> &entries,
                         const QString &file)
{
    ProfileFile profile(ResolveProfilePath(file));
    if (!profile.load())
        return false;
    profile.replaceSection(section, entries);
    return profile.save();
}
