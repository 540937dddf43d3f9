#pragma once

#include "jobs/jobrunner.h"

#include <QString>
#include <functional>

class QPlainTextEdit;
class QWidget;

// The editor text travels to PGP and back through these two files in the current directory.
inline constexpr auto kClipInputFile = "cliptxt.txt";
inline constexpr auto kClipOutputFile = "cliptxt.asc";
// The largest result the editor is given; the engine's output beyond it is removed unread.
inline constexpr qint64 kClipEditorLimit = qint64(64) << 20;

// The file composers the clipboard operation hands its work files to: ComposeEncryptJob and
// ComposeDecryptJob, reached through this one place so that tests can see what is passed.
struct ClipboardComposerSet
{
    // input, output, sign, wipe, armour, text, conventional, recipients, user ID, parent
    std::function<JobOutcome(const QString &, const QString &, int, int, int, int, int,
                             const QString &, const QString &, QWidget *)>
        encrypt;
    // keepSignature, input, output, parent
    std::function<JobOutcome(int, const QString &, const QString &, QWidget *)> decrypt;
};

ClipboardComposerSet &ClipboardComposers();

enum class ClipboardResult
{
    Replaced,        // the editor now shows PGP's result
    Cancelled,       // the dialog was cancelled; the editor is unchanged
    NotWritten,      // the editor text could not be written out (the user was told)
    NothingProduced, // PGP wrote no result; the editor keeps its text (the user was told)
    NotRun,          // the job did not run to its end; the editor keeps its text
};

// The editor's "Clipboard Subsystem" command: writes the editor's whole text to cliptxt.txt,
// asks for the operation in CClipboardOpsDlg, runs PGP on it and puts the whole of cliptxt.asc
// into the editor. The editor's text is replaced only when PGP produced a result; the work
// files are removed whenever the text is safe in the editor. On Replaced the caller brings its
// document's copy of the text up to date from the editor.
ClipboardResult OnClipboardSubsystem(QWidget *parent, QPlainTextEdit *editor);
