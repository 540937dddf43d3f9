#pragma once

// What the dialog tests share: finding a dialog's widgets by name and clicking them.

#include <QAbstractButton>
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
