#pragma once
// Labels and pictures that act as links: a hand cursor, and the action on a
// click of the left button.
#include <functional>

class QLabel;

namespace vt {

// underline: the text is shown as a link (a picture stays as it is).
void MakeLink(QLabel *label, std::function<void()> onClick, bool underline = true);

} // namespace vt
