#include "commandtable.h"

#include "commandids.h"

#include <QHash>

namespace {
const PopupDef kEditors{"&Editors",
                        {{"&Notepad...", Cmd::Notepad},
                         {"&Word Pad...", Cmd::WordPad},
                         {"&User Application", Cmd::UserApplication}}};
const PopupDef kView{"&View",
                     {{"&Toolbar", Cmd::ViewToolbar}, {"&Status Bar", Cmd::ViewStatusBar}}};
const PopupDef kOperations{"&Operations",
                           {{"&Encryption Subsystem...", Cmd::Encryption},
                            {"&Decryption Subsystem...", Cmd::Decryption},
                            {nullptr, 0},
                            {"&Clipboard Subsystem...", Cmd::ClipboardSubsystem},
                            {nullptr, 0},
                            {"D&irectory EnDecrypt...", Cmd::DirectoryCrypt},
                            {nullptr, 0},
                            {"&Key Management...", Cmd::KeyManagement},
                            {"Key &Ring...", Cmd::KeyRing}}};
const PopupDef kPreferences{
    "&Preferences", {{"Preferences", Cmd::Preferences}, {nullptr, 0}, {"Op&tions", Cmd::Options}}};
const PopupDef kHelp{
    "&Help",
    {{"&Help Topics", Cmd::HelpFinder}, {nullptr, 0}, {"&About Zorvex 5...", Cmd::AppAbout}}};
} // namespace

const QList<PopupDef> &MainMenu128()
{
    static const QList<PopupDef> menu{{"&File",
                                       {{"&New\tCtrl+N", Cmd::FileNew},
                                        {"&Open...\tCtrl+O", Cmd::FileOpen},
                                        {"&Save...\tCtrl+S", Cmd::FileSave},
                                        {nullptr, 0},
                                        {"Sen&d...", Cmd::FileSend},
                                        {nullptr, 0},
                                        {"E&xit", Cmd::AppExit}}},
                                      kEditors,
                                      kView,
                                      kOperations,
                                      kPreferences,
                                      kHelp};
    return menu;
}

const QList<PopupDef> &EditorMenu129()
{
    static const QList<PopupDef> menu{{"&File",
                                       {{"&New\tCtrl+N", Cmd::FileNew},
                                        {"&Open...\tCtrl+O", Cmd::FileOpen},
                                        {"&Close", Cmd::FileClose},
                                        {"&Save\tCtrl+S", Cmd::FileSave},
                                        {"Save &As...", Cmd::FileSaveAs},
                                        {nullptr, 0},
                                        {"Sen&d...", Cmd::FileSend},
                                        {nullptr, 0},
                                        {"E&xit", Cmd::AppExit}}},
                                      {"&Edit",
                                       {{"&Undo\tCtrl+Z", Cmd::EditUndo},
                                        {nullptr, 0},
                                        {"Cu&t\tCtrl+X", Cmd::EditCut},
                                        {"&Copy\tCtrl+C", Cmd::EditCopy},
                                        {"&Paste\tCtrl+V", Cmd::EditPaste},
                                        {"Select &All\tCtrl+A", Cmd::EditSelectAll},
                                        {"Delete\tDel", Cmd::EditDelete},
                                        {nullptr, 0},
                                        {"Clear &Document", Cmd::EditClear}}},
                                      kEditors,
                                      kView,
                                      kOperations,
                                      kPreferences,
                                      {"&Window",
                                       {{"&New Window", Cmd::WindowNew},
                                        {"&Cascade", Cmd::WindowCascade},
                                        {"&Tile", Cmd::WindowTile},
                                        {"&Arrange Icons", Cmd::WindowArrange}}},
                                      kHelp};
    return menu;
}

const QList<MenuItemDef> &EditorContextMenu133()
{
    static const QList<MenuItemDef> menu{{"Cu&t", Cmd::EditCut},
                                         {"&Copy", Cmd::EditCopy},
                                         {"&Paste", Cmd::EditPaste},
                                         {"Select All", Cmd::EditSelectAll}};
    return menu;
}

const QList<ToolButtonDef> &Toolbar128()
{
    static const QList<ToolButtonDef> bar{{Cmd::FileNew, "new"},
                                          {Cmd::FileOpen, "open"},
                                          {Cmd::FileSave, "save"},
                                          {Cmd::FileSend, "send"},
                                          {Cmd::EditCut, "cut"},
                                          {Cmd::EditCopy, "copy"},
                                          {Cmd::EditPaste, "paste"},
                                          {Cmd::Notepad, "notepad"},
                                          {Cmd::WordPad, "wordpad"},
                                          {Cmd::UserApplication, "userapp"},
                                          {Cmd::Encryption, "encrypt"},
                                          {Cmd::Decryption, "decrypt"},
                                          {Cmd::ClipboardSubsystem, "clipboard"},
                                          {Cmd::DirectoryCrypt, "directory"},
                                          {Cmd::KeyManagement, "keys"},
                                          {Cmd::KeyRing, "keyring"},
                                          {Cmd::Preferences, "preferences"},
                                          {Cmd::Options, "options"},
                                          {0, nullptr},
                                          {Cmd::HelpFinder, "help"}};
    return bar;
}

QString CommandPrompt(int id)
{
    static const QHash<int, const char *> prompts{
        {Cmd::FileNew, "Create a new document\nNew"},
        {Cmd::FileOpen, "Open an existing document\nOpen"},
        {Cmd::FileClose, "Close the active document\nClose"},
        {Cmd::FileSave, "Save the active document\nSave"},
        {Cmd::FileSaveAs, "Save the active document with a new name\nSave As"},
        {Cmd::FileSend, "Send the active document through electronic mail\nSend Mail"},
        {Cmd::AppExit, "Quit the application; prompts to save documents\nExit"},
        {Cmd::EditUndo, "Undo the last action\nUndo"},
        {Cmd::EditCut, "Cut the selection and put it on the Clipboard\nCut"},
        {Cmd::EditCopy, "Copy the selection and put it on the Clipboard\nCopy"},
        {Cmd::EditPaste, "Insert Clipboard contents\nPaste"},
        {Cmd::EditSelectAll, "Select the entire document\nSelect All"},
        {Cmd::EditDelete, "Erase the selection\nErase"},
        {Cmd::EditClear, "Erase everything\nErase All"},
        {Cmd::Notepad, "Open the Notepad Editor\nNotepad"},
        {Cmd::WordPad, "Start the Word Pad editor\nWordpad"},
        {Cmd::UserApplication, "Start a user defined editor\nUser Defined"},
        {Cmd::Encryption, "Encrypt files\nEncryption"},
        {Cmd::Decryption, "Decrypt files\nDecryption"},
        {Cmd::ClipboardSubsystem, "Clipboard operations\nClipboard"},
        {Cmd::DirectoryCrypt, "Encrypt or Decrypt Entire Folders\nFolder En/Decrypt"},
        {Cmd::KeyManagement, "Key management functions\nKey Management"},
        {Cmd::KeyRing, "See every key of your key ring and act on it\nKey Ring"},
        {Cmd::Preferences, "Set user preferences\nPreferences"},
        {Cmd::Options, "Set up user defaults\nOptions"},
        {Cmd::ViewToolbar, "Show or hide the toolbar\nToggle ToolBar"},
        {Cmd::ViewStatusBar, "Show or hide the status bar\nToggle StatusBar"},
        {Cmd::WindowNew, "Open another window for the active document\nNew Window"},
        {Cmd::WindowCascade, "Arrange windows so they overlap\nCascade Windows"},
        {Cmd::WindowTile, "Arrange windows as non-overlapping tiles\nTile Windows"},
        {Cmd::WindowArrange, "Arrange icons at the bottom of the window\nArrange Icons"},
        {Cmd::HelpFinder, "List Help topics\nHelp Topics"},
        {Cmd::Help, "Display Help for Zorvex and PGP\nHelp"},
        {Cmd::ContextHelp, "Display help for clicked on buttons, menus and windows\nHelp"},
        {Cmd::AppAbout, "Display Help for Zorvex and PGP\nAbout"},
        {Cmd::TipOfTheDay, "Displays a Tip of the Day."},
    };
    return QString::fromUtf8(prompts.value(id, ""));
}

QString CommandStatusText(int id)
{
    return CommandPrompt(id).section(QLatin1Char('\n'), 0, 0);
}

QString CommandToolTip(int id)
{
    return CommandPrompt(id).section(QLatin1Char('\n'), 1, 1);
}
