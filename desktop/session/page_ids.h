#pragma once
// Dialog templates of the pages and screens, as the desktop's operations open
// them through the page host. One table for every subsystem.
namespace corvash::pages {

// Wizard pages.
inline constexpr int kPageWelcome = 103;
inline constexpr int kPagePrepare = 121;
inline constexpr int kPageConnect = 161;
inline constexpr int kPageOptions = 109;
inline constexpr int kPageConfirm = 124;
inline constexpr int kPageReady = 130;
inline constexpr int kPageBootInstructions = 169;
inline constexpr int kPageProgress = 102;
inline constexpr int kPageResetInstructions = 167;
inline constexpr int kPageFinish = 133;
inline constexpr int kPageBackupProgress = 132;
inline constexpr int kPageWaitBox = 122;

// Error and warning screens.
inline constexpr int kScreenActiveSyncTooOld = 165;  // FEHLER 115
inline constexpr int kScreenConnectionError = 138;   // FEHLER 101
inline constexpr int kScreenChecksumError = 139;     // FEHLER 102
inline constexpr int kScreenIncompatibleImage = 123; // FEHLER 100
inline constexpr int kScreenImageTooLarge = 151;     // FEHLER 110
inline constexpr int kScreenUpdateError = 114;       // FEHLER 113
inline constexpr int kScreenInvalidModel = 269;      // FEHLER 117
inline constexpr int kScreenImageNotFound = 140;     // FEHLER 103
inline constexpr int kScreenImageNotOpened = 141;    // FEHLER 104
inline constexpr int kScreenIdentityReadError = 268; // FEHLER 116
inline constexpr int kScreenFileExists = 152;        // WARNUNG 112
inline constexpr int kScreenBackupImpossible = 145;  // FEHLER 107
inline constexpr int kScreenAgentNotStarted = 144;   // FEHLER 106
inline constexpr int kScreenBackupFailed = 147;      // FEHLER 109
inline constexpr int kScreenPowerWarning = 105;      // WARNUNG 111

// Results of the option page.
inline constexpr int kOptionUpdate = 1035;
inline constexpr int kOptionRestore = 1036;
inline constexpr int kOptionBackup = 1000;

// Result of the progress pages when the work completed.
inline constexpr int kPageSucceeded = 1;
// flashState after the second download: the flash is complete.
inline constexpr unsigned kFlashCompleted = 3;

}  // namespace corvash::pages
