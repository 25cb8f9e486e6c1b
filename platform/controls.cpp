#include "platform/controls.h"

namespace platform {

Bounds FollowAnchors(Bounds place, int anchors, int dx, int dy) {
    if (anchors & AnchorRight) (anchors & AnchorLeft) ? place.Width += dx : place.Left += dx;
    if (anchors & AnchorBottom) (anchors & AnchorTop) ? place.Height += dy : place.Top += dy;
    return place;
}

}  // namespace platform
