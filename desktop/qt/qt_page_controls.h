#pragma once
// The widgets of a page, made from the controls of its dialog template:
// push buttons, check boxes, texts, black squares (bullets), frames, group
// boxes, pictures and progress bars, placed and sized in pixels from the
// template's dialog units. GUI thread only.
#include <QString>
#include <string_view>
#include <vector>

#include "desktop/automation/dialog_units.h"

class QWidget;

namespace corvash::resources {
struct DialogControl;
struct DialogTemplate;
class ResourceScript;
}  // namespace corvash::resources

namespace corvash::qt {

enum class ControlRole { kButton, kCheckBox, kText, kProgress, kPicture, kFrame, kOther };

struct BuiltControl {
  const resources::DialogControl* source = nullptr;
  QWidget* widget = nullptr;  // owned by the page's window
  ControlRole role = ControlRole::kOther;
};

// Builds every control of `dialog` as a child of `parent`, in template order.
std::vector<BuiltControl> BuildControls(QWidget& parent, const resources::DialogTemplate& dialog,
                                        automation::DialogBaseUnits base, const resources::ResourceScript& script);

// Sets a control's text as the system shows it: "\r\n" and a lone "\r"
// break the line; on texts and buttons "&x" marks a mnemonic and "&&"
// stands for "&" (texts with SS_NOPREFIX show every "&").
void SetControlText(const BuiltControl& control, std::string_view utf8);

// A text of a static control for display: line breaks as above, and, when
// `prefixes`, "&&" as "&" and single "&" dropped.
QString StaticDisplayText(std::string_view utf8, bool prefixes);

}  // namespace corvash::qt
