#include "mnemonics.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QEvent>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSet>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>

namespace {

// A control with a text that can carry a mnemonic.
struct Labelled
{
    QWidget *widget;
    QString text;
    int tab = -1; // for a tab of a tab widget
};

QChar mnemonicOf(const QString &text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('&'))
            continue;
        if (text.at(i + 1) != QLatin1Char('&'))
            return text.at(i + 1).toLower();
        ++i;
    }
    return QChar();
}

QString withMnemonic(const QString &text, QSet<QChar> &taken)
{
    qsizetype at = -1;
    for (qsizetype i = 0; i < text.size() && at < 0; ++i) {
        const bool wordStart = i == 0 || !text.at(i - 1).isLetterOrNumber();
        if (wordStart && text.at(i).isLetter() && !taken.contains(text.at(i).toLower()))
            at = i;
    }
    for (qsizetype i = 0; i < text.size() && at < 0; ++i) {
        if (text.at(i).isLetter() && !taken.contains(text.at(i).toLower()))
            at = i;
    }
    if (at < 0)
        return text;
    taken.insert(text.at(at).toLower());
    return text.left(at) + QLatin1Char('&') + text.mid(at);
}

void setText(const Labelled &item, const QString &text)
{
    if (item.tab >= 0)
        static_cast<QTabWidget *>(item.widget)->setTabText(item.tab, text);
    else if (auto *button = qobject_cast<QAbstractButton *>(item.widget))
        button->setText(text);
    else if (auto *box = qobject_cast<QGroupBox *>(item.widget))
        box->setTitle(text);
    else if (auto *label = qobject_cast<QLabel *>(item.widget))
        label->setText(text);
}

// The tab page a control is on (its letters need only differ from that page's and the
// window's), or the window itself.
QWidget *scopeOf(QWidget *widget, QWidget *window)
{
    for (QWidget *w = widget; w && w != window; w = w->parentWidget()) {
        auto *stack = qobject_cast<QStackedWidget *>(w->parentWidget());
        if (stack && qobject_cast<QTabWidget *>(stack->parentWidget()))
            return w;
    }
    return window;
}

class GroupFieldFilter : public QObject
{
public:
    GroupFieldFilter(QGroupBox *box, QWidget *field) : QObject(box), m_field(field) {}
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::Shortcut)
            return false;
        m_field->setFocus(Qt::ShortcutFocusReason);
        return true;
    }

private:
    QWidget *m_field;
};

QString stripped(QString text)
{
    return text.replace(QStringLiteral("&&"), QStringLiteral("\x01"))
        .remove(QLatin1Char('&'))
        .replace(QLatin1Char('\x01'), QLatin1Char('&'));
}

} // namespace

void AddMissingMnemonics(QWidget *window)
{
    QHash<QWidget *, QList<Labelled>> scopes;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        auto *label = qobject_cast<QLabel *>(w);
        if (qobject_cast<QTabBar *>(w->parentWidget()) || (label && !label->buddy()))
            continue;
        if (auto *tabs = qobject_cast<QTabWidget *>(w)) {
            for (int i = 0; i < tabs->count(); ++i)
                scopes[scopeOf(tabs, window)].append({tabs, tabs->tabText(i), i});
            continue;
        }
        QString text;
        if (auto *button = qobject_cast<QAbstractButton *>(w))
            text = button->text();
        else if (auto *box = qobject_cast<QGroupBox *>(w))
            text = box->title();
        else if (label)
            text = label->text();
        if (!text.isEmpty() && !text.startsWith(QLatin1Char('<')))
            scopes[scopeOf(w, window)].append({w, text});
    }
    auto letters = [](const QList<Labelled> &items) {
        QSet<QChar> taken;
        for (const Labelled &item : items) {
            if (const QChar c = mnemonicOf(item.text); !c.isNull())
                taken.insert(c);
        }
        return taken;
    };
    // Adds the letters it gives to taken.
    auto fill = [](const QList<Labelled> &items, QSet<QChar> &taken) {
        for (const Labelled &item : items) {
            if (mnemonicOf(item.text).isNull())
                setText(item, withMnemonic(item.text, taken));
        }
    };
    // The window's own controls (and the tabs) first: they are there whatever page is shown,
    // so they keep clear of every page's letters; a page only keeps clear of them.
    const QList<Labelled> own = scopes.take(window);
    QSet<QChar> ownLetters = letters(own);
    for (const QList<Labelled> &page : std::as_const(scopes))
        ownLetters |= letters(page);
    const QSet<QChar> before = ownLetters;
    fill(own, ownLetters);
    const QSet<QChar> windowLetters = letters(own) | (ownLetters - before);
    for (const QList<Labelled> &page : std::as_const(scopes)) {
        QSet<QChar> taken = windowLetters | letters(page);
        fill(page, taken);
    }

    for (QWidget *w : window->findChildren<QWidget *>()) {
        const bool named = qobject_cast<QAbstractItemView *>(w) ||
                           qobject_cast<QPlainTextEdit *>(w) || qobject_cast<QTextEdit *>(w);
        if (!named || !w->accessibleName().isEmpty())
            continue;
        QString name;
        for (QLabel *label : window->findChildren<QLabel *>()) {
            if (label->buddy() == w)
                name = label->text();
        }
        if (auto *box = qobject_cast<QGroupBox *>(w->parentWidget()); box && name.isEmpty())
            name = box->title();
        if (!name.isEmpty())
            w->setAccessibleName(stripped(name).remove(QLatin1Char(':')).trimmed());
    }
}

void SetGroupField(QGroupBox *box, QWidget *field)
{
    box->installEventFilter(new GroupFieldFilter(box, field));
}
