#pragma once

// Command identifiers. Each is also the key of its prompt string (status line "\n" tooltip).
namespace Cmd {
inline constexpr int FileNew = 57600;
inline constexpr int FileOpen = 57601;
inline constexpr int FileClose = 57602;
inline constexpr int FileSave = 57603;
inline constexpr int FileSaveAs = 57604;
inline constexpr int FileSend = 57612;
inline constexpr int AppExit = 57665;
inline constexpr int EditClear = 57633; // Clear Document
inline constexpr int EditCopy = 57634;
inline constexpr int EditCut = 57635;
inline constexpr int EditPaste = 57637;
inline constexpr int EditSelectAll = 57642;
inline constexpr int EditUndo = 57643;
inline constexpr int EditDelete = 32790;
inline constexpr int Notepad = 1010;
inline constexpr int WordPad = 1011;
inline constexpr int UserApplication = 1012;
inline constexpr int Encryption = 1013;
inline constexpr int Decryption = 1014;
inline constexpr int ClipboardSubsystem = 1015;
inline constexpr int DirectoryCrypt = 1016;
inline constexpr int KeyManagement = 1017;
inline constexpr int Preferences = 1018;
inline constexpr int Options = 1019;
inline constexpr int KeyRing = 1020;
inline constexpr int ViewToolbar = 59392;
inline constexpr int ViewStatusBar = 59393;
inline constexpr int WindowNew = 57648;
inline constexpr int WindowArrange = 57649;
inline constexpr int WindowCascade = 57650;
inline constexpr int WindowTile = 57651;
inline constexpr int AppAbout = 57664;
inline constexpr int HelpFinder = 57667;  // Help Topics
inline constexpr int ContextHelp = 57669; // Shift+F1
inline constexpr int Help = 57670;        // F1
inline constexpr int TipOfTheDay = 109;
inline constexpr int NextPane = 59680;
inline constexpr int PrevPane = 59681;
} // namespace Cmd

// Help contexts of the windows themselves (0x20000 + resource number).
inline constexpr unsigned kMainFrameHelpContext = 0x20000 + 128;
inline constexpr unsigned kEditorHelpContext = 0x20000 + 129;
