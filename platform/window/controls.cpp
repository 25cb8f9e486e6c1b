#include "platform/window/controls.h"

#include <algorithm>

namespace platform {

Bounds FollowAnchors(Bounds place, int anchors, int dx, int dy) {
    if (anchors & AnchorRight) (anchors & AnchorLeft) ? place.Width += dx : place.Left += dx;
    if (anchors & AnchorBottom) (anchors & AnchorTop) ? place.Height += dy : place.Top += dy;
    return place;
}

Bounds CentredOnScreen(int screenWidth, int screenHeight, int outerWidth, int outerHeight) {
    return {std::max(0, (screenWidth - outerWidth) / 2), std::max(0, (screenHeight - outerHeight) / 2), outerWidth,
            outerHeight};
}

Bounds RadioItemPlace(const ControlEntry& group, int index) {
    const int columns = std::max(1, group.Columns);
    const int columnWidth = (group.Place.Width - 8) / columns;
    return {6 + (index % columns) * columnWidth, 14 + (index / columns) * 17, columnWidth, 17};
}

}  // namespace platform
