/* The few Windows header names that corvash.rc uses, for compiling the
   script with a resource compiler on a system without the Windows headers. */
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_SYSMENU 0x00080000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define DS_SETFONT 0x40L
#define DS_MODALFRAME 0x80L
#define BS_AUTOCHECKBOX 0x00000003L
#define SS_BLACKRECT 0x00000004L
#define SS_BITMAP 0x0000000EL
#define LANG_GERMAN 0x07
#define SUBLANG_GERMAN 0x01
