#pragma once
// Pictures of pages for review: a page's window as the user sees it, with a
// drawn title bar (caption and close box) on pages that have one. GUI
// thread only.
#include <QImage>

namespace corvash::qt {

class QtPage;

// The open page's window with its frame; a null image when the page has
// no window (it ended).
QImage RenderPage(const QtPage& page);

}  // namespace corvash::qt
