#pragma once

#include <QWidget>

class QTextBrowser;

// The resource path of the help page for a context number: ":/help/<hex>.html" when the program
// has that page, else the topic list ":/help/index.html".
QString HelpPagePath(quint32 context);

// The program's help viewer: one window, reused for every request.
class CHelpWindow : public QWidget
{
    Q_OBJECT
public:
    explicit CHelpWindow(QWidget *parent = nullptr);

    // Shows the page of a context (0 for the topic list), creating the window on first use.
    static CHelpWindow *ShowContext(quint32 context, QWidget *parent);
    static CHelpWindow *instance();

    QTextBrowser *browser() const { return m_browser; }

private:
    QTextBrowser *m_browser;
};
