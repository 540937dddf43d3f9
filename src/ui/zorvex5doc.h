#pragma once

#include "commandtarget.h"
#include "editortext.h"

#include <QList>
#include <QObject>
#include <QString>

class QIODevice;
class QWidget;
class CZorvex5View;

inline constexpr auto kGreetingText = "This is the Clipboard editor window.  Click New Document "
                                      "for a blank page or clear this text.";

// One editor document: a copy of the editor text, refreshed from and pushed to the views'
// text controls only at fixed points (the view knows which).
class CZorvex5Doc : public QObject, public CommandTarget
{
    Q_OBJECT
public:
    explicit CZorvex5Doc(QObject *parent = nullptr);
    ~CZorvex5Doc() override;

    QString m_strEditorText;
    // How the text was last read from a file, so that writing it back changes no byte.
    EditorTextFormat m_format;

    // The first new document of a run carries the greeting; later ones start empty.
    bool OnNewDocument();
    // The text's bytes as they are, without length, terminator or added line end.
    bool Store(QIODevice &device) const;
    bool Load(QIODevice &device);
    bool LoadFile(const QString &path);
    // Would release embedded objects; this program embeds none, and the text stays.
    void DeleteContents();
    // Every view shows m_strEditorText again, unmodified.
    void UpdateAllViews();

    void OnEditClearAll();
    void OnFileSendMail(QWidget *parent);
    void OnFileSaveAs(QWidget *parent);
    // Closes every window of the document; false when the user kept one open.
    bool OnCloseDocument();

    bool OnCmdMsg(int id, CommandState *state) override;

    QString title() const { return m_title; }
    void setTitle(const QString &title);
    QString pathName() const { return m_pathName; }

    void addView(CZorvex5View *view);
    void removeView(CZorvex5View *view);
    const QList<CZorvex5View *> &views() const { return m_views; }

signals:
    void titleChanged(const QString &title);

private:
    QList<CZorvex5View *> m_views;
    QString m_title;
    QString m_pathName;
};

// Where Send puts the mail program; tests point it elsewhere to see "no mail program".
void SetMailProgramForTests(const QString &program);
