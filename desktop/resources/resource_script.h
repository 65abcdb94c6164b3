#pragma once
// The program's resource script (corvash.rc): dialog templates, the German
// string table, bitmaps and the icon, read from the Win32 resource-script
// text. The script and its bitmaps are compiled into the library, so the
// program needs no files beside it (LoadDefault).
//
// Reading never fails hard: a statement the reader does not understand is
// skipped, a malformed one ends the statement it is in, and whatever could be
// read stays available. Lookups of ids that are absent give an empty result
// (nullptr template, "" text, empty bitmap).
//
// Threads: a ResourceScript is immutable after Parse/LoadDefault; any thread
// may read it at the same time. LoadDefault() is safe to call from any thread
// (the default script is parsed once).
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace corvash::resources {

// Window styles as the script writes them (the values the hosts interpret).
inline constexpr uint32_t kWsChild = 0x40000000;
inline constexpr uint32_t kWsVisible = 0x10000000;
inline constexpr uint32_t kWsDisabled = 0x08000000;
inline constexpr uint32_t kWsCaption = 0x00C00000;
inline constexpr uint32_t kWsBorder = 0x00800000;
inline constexpr uint32_t kWsSysMenu = 0x00080000;
inline constexpr uint32_t kWsTabStop = 0x00010000;
inline constexpr uint32_t kWsGroup = 0x00020000;
inline constexpr uint32_t kWsPopup = 0x80000000;
inline constexpr uint32_t kDsModalFrame = 0x00000080;
inline constexpr uint32_t kDsSetFont = 0x00000040;
inline constexpr uint32_t kDsCenter = 0x00000800;
inline constexpr uint32_t kBsPushButton = 0x0;
inline constexpr uint32_t kBsDefPushButton = 0x1;
inline constexpr uint32_t kBsAutoCheckBox = 0x3;
inline constexpr uint32_t kSsLeft = 0x0;
inline constexpr uint32_t kSsCenter = 0x1;
inline constexpr uint32_t kSsRight = 0x2;
inline constexpr uint32_t kSsBlackRect = 0x4;
inline constexpr uint32_t kSsBitmap = 0xE;
inline constexpr uint32_t kSsTypeMask = 0x1F;
inline constexpr uint32_t kBsTypeMask = 0xF;
inline constexpr uint32_t kPbsSmooth = 0x1;

// What kind of control a template entry makes, derived from its class and
// style so that hosts need not decode styles themselves.
enum class ControlKind {
  kPushButton,     // PUSHBUTTON, or class "Button" with BS_PUSHBUTTON
  kDefPushButton,  // DEFPUSHBUTTON: the button that Enter presses
  kCheckBox,       // class "Button" with BS_AUTOCHECKBOX / BS_CHECKBOX
  kText,           // LTEXT / CTEXT / RTEXT, class "Static" with a text style
  kBlackRect,      // class "Static" with SS_BLACKRECT (the bullets)
  kProgress,       // class "msctls_progress32"
  kBitmap,         // class "Static" with SS_BITMAP: shows BITMAP imageId
  kOther,          // anything else (kept so that ids still resolve)
};

struct DialogControl {
  std::string className;  // as CONTROL names it ("Button", "msctls_progress32"); "BUTTON" or "STATIC" for LTEXT, PUSHBUTTON, ...
  std::string text;       // label as written in the template (UTF-8)
  int imageId = 0;        // kBitmap: the BITMAP id that the template names (text given as a number)
  int id = -1;            // control id; -1 (IDC_STATIC) for unnamed texts
  int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  uint32_t style = 0;     // full style including WS_CHILD | WS_VISIBLE
  uint32_t exStyle = 0;
  ControlKind kind = ControlKind::kOther;

  bool visible() const { return (style & kWsVisible) != 0; }
  bool disabled() const { return (style & kWsDisabled) != 0; }
};

struct DialogTemplate {
  int id = 0;
  int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  uint32_t style = 0;
  uint32_t exStyle = 0;
  bool hasCaption = false;  // WS_CAPTION in the style (a title bar with its close box)
  std::string caption;      // CAPTION text; may be empty even with a title bar
  std::string fontName;     // "Arial"
  int fontPointSize = 8;
  std::vector<DialogControl> controls;

  // The control with `controlId`, nullptr when the template has none.
  const DialogControl* Control(int controlId) const;
};

// A name that the script's own #define gives a value ("IDD_PAGE_WELCOME").
struct ScriptName {
  std::string name;
  int64_t value = 0;
  int line = 0;  // of the #define
};

class ResourceScript {
 public:
  // Reads a resource script (UTF-8). Never throws on bad input; what cannot be
  // read is left out. Numeric ids and the #define'd names of the script's own
  // headers are understood; string escapes as the resource compiler reads
  // them ("" for a quote, \n \r \t \\ \" and \xHH / octal bytes).
  // Defined with the reader (script_parser.cpp), which fills the script.
  static ResourceScript Parse(std::string_view text);
  // The script compiled into the library, with its bitmaps and icon.
  // Parsed once on the first call; returns the same object afterwards.
  static const ResourceScript& LoadDefault();

  // Template `id`, or nullptr.
  const DialogTemplate* Dialog(int id) const;
  // STRINGTABLE text `id` (UTF-8), "" when absent.
  std::string String(int id) const;
  bool HasString(int id) const;
  // BITMAP `id` as the bytes of a .bmp file (with its file header); empty
  // when absent or when the script was parsed from text without its files.
  std::vector<uint8_t> Bitmap(int id) const;
  // ICON `id` as the bytes of a .ico file; empty when absent.
  std::vector<uint8_t> Icon(int id) const;

  // What the reader skipped or could not read, one line each ("line 12: ...").
  const std::vector<std::string>& Warnings() const { return warnings_; }

  // The names the script #defines, in the order it defines them (a name
  // defined again appears again; the last value is the one the script uses).
  const std::vector<ScriptName>& Names() const { return names_; }

  // Every template id and string id present, ascending.
  std::vector<int> DialogIds() const;
  std::vector<int> StringIds() const;
  // The file names that BITMAP and ICON statements name ("bitmaps/157.bmp").
  std::string BitmapFile(int id) const;
  std::string IconFile(int id) const;

  // Attaches file contents for BITMAP/ICON statements (LoadDefault does this
  // with the embedded files).
  void AttachFile(const std::string& fileName, std::vector<uint8_t> bytes);

 private:
  friend class ScriptParser;
  std::map<int, DialogTemplate> dialogs_;
  std::map<int, std::string> strings_;
  std::map<int, std::string> bitmapFiles_;
  std::map<int, std::string> iconFiles_;
  std::map<std::string, std::vector<uint8_t>> files_;
  std::vector<std::string> warnings_;
  std::vector<ScriptName> names_;
};

}  // namespace corvash::resources
