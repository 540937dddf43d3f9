#pragma once

#include <QTabWidget>

// The six key management pages, in their fixed order; the first is current at the start.
class CMyPropertySheet1 : public QTabWidget
{
    Q_OBJECT

public:
    explicit CMyPropertySheet1(QWidget *parent = nullptr);
};
