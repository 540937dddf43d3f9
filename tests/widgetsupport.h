#pragma once

// What the dialog tests share: finding a dialog's widgets by name and clicking them.

#include <QAbstractButton>
#include <QListWidget>
#include <QWidget>
#include <QtTest>

// A widget of the dialog by object name. A missing one ends the run at once: every later
// step of the test would fail on it in a less telling way.
template <typename T>
T *child(QWidget *dialog, const char *name)
{
    T *w = dialog->findChild<T *>(QLatin1String(name));
    if (!w)
        qFatal("no widget %s", name);
    return w;
}

// A real mouse click near the left edge: a check box stretched by its layout only reacts on
// its box and text.
inline void clickAtLeft(QWidget *dialog, const char *name)
{
    auto *button = child<QAbstractButton>(dialog, name);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

// Picks an entry of a key name list from the keyboard: moving there picks nothing, Space does.
inline void pickKeyName(QWidget *dialog, const char *list, int row)
{
    auto *names = child<QListWidget>(dialog, list);
    names->setCurrentRow(row);
    QTest::keyClick(names, Qt::Key_Space);
}
