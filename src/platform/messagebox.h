#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>

class QWidget;

// The caption of every message the program shows.
inline constexpr auto kProgramTitle = "Zorvex\u00ae 5.0 - Win 95/NT Shell for PGP";

// All message boxes of the program go through here, so that tests can answer them.
class MessageBox
{
public:
    enum class Icon
    {
        Information,
        Warning,
        Stop,
        Question
    };

    struct Shown
    {
        Icon icon;
        QString caption;
        QString text;
    };

    static QMessageBox::StandardButton
    show(QWidget *parent, Icon icon, const QString &text,
         QMessageBox::StandardButtons buttons = QMessageBox::Ok,
         const QString &caption = QString::fromUtf8(kProgramTitle));
    static void information(QWidget *parent, const QString &text);
    static void stop(QWidget *parent, const QString &text);
    static QMessageBox::StandardButton
    question(QWidget *parent, const QString &text,
             QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No);

    // Test hooks. In test mode no box is shown: every call is recorded and answered with the
    // next queued answer, or with the first of its buttons when nothing is queued.
    static void setTestMode(bool on);
    static void setNextAnswer(QMessageBox::StandardButton answer);
    static const QList<Shown> &shown();
    static void clearShown();
};
