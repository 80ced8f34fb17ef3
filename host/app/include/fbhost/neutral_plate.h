#pragma once
// The neutral plate the built-in scene shows behind the HUD: a grey gradient
// with a faint square grid, drawn for the exact viewport size so no scaling
// blurs it.

#include <QImage>

namespace fbhost {

// A pWidth x pHeight opaque picture (QImage::Format_RGBX8888); null when
// either side is not positive.
QImage NeutralPlate(int pWidth, int pHeight);

}  // namespace fbhost
