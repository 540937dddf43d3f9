#include "messagebox.h"

namespace {
struct Hooks
{
    bool testMode = false;
    QList<QMessageBox::StandardButton> answers;
    QList<MessageBox::Shown> shown;
};

Hooks &hooks()
{
    static Hooks h;
    return h;
}

QMessageBox::StandardButton firstButton(QMessageBox::StandardButtons buttons)
{
    for (int bit = QMessageBox::FirstButton; bit <= QMessageBox::LastButton; bit <<= 1) {
        if (buttons.testFlag(static_cast<QMessageBox::StandardButton>(bit)))
            return static_cast<QMessageBox::StandardButton>(bit);
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon qtIcon(MessageBox::Icon icon)
{
    switch (icon) {
    case MessageBox::Icon::Information:
        return QMessageBox::Information;
    case MessageBox::Icon::Warning:
        return QMessageBox::Warning;
    case MessageBox::Icon::Stop:
        return QMessageBox::Critical;
    case MessageBox::Icon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}
} // namespace

QMessageBox::StandardButton MessageBox::show(QWidget *parent, Icon icon, const QString &text,
                                             QMessageBox::StandardButtons buttons,
                                             const QString &caption)
{
    Hooks &h = hooks();
    if (h.testMode) {
        h.shown.append({icon, caption, text});
        return h.answers.isEmpty() ? firstButton(buttons) : h.answers.takeFirst();
    }
    QMessageBox box(qtIcon(icon), caption, text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void MessageBox::information(QWidget *parent, const QString &text)
{
    show(parent, Icon::Information, text);
}

void MessageBox::stop(QWidget *parent, const QString &text)
{
    show(parent, Icon::Stop, text);
}

QMessageBox::StandardButton MessageBox::question(QWidget *parent, const QString &text,
                                                 QMessageBox::StandardButtons buttons)
{
    return show(parent, Icon::Question, text, buttons);
}

void MessageBox::setTestMode(bool on)
{
    hooks().testMode = on;
}

void MessageBox::setNextAnswer(QMessageBox::StandardButton answer)
{
    hooks().answers.append(answer);
}

const QList<MessageBox::Shown> &MessageBox::shown()
{
    return hooks().shown;
}

void MessageBox::clearShown()
{
    hooks().shown.clear();
    hooks().answers.clear();
}
