#include "fbhost/neutral_plate.h"

#include <algorithm>

namespace fbhost {

QImage NeutralPlate(int pWidth, int pHeight) {
  if (pWidth <= 0 || pHeight <= 0) return QImage();
  QImage lPlate(pWidth, pHeight, QImage::Format_RGBX8888);
  if (lPlate.isNull()) return lPlate;
  // Nine grid rows whatever the size, so the plate looks the same at any scale.
  const int lCell = std::max(1, pHeight / 9);
  const int lOriginX = (pWidth % lCell) / 2;
  const int lOriginY = (pHeight % lCell) / 2;
  for (int y = 0; y < pHeight; ++y) {
    uchar* lRow = lPlate.scanLine(y);
    // Lighter at the top, like a studio backdrop lit from above.
    const int lBase = 104 - static_cast<int>(40LL * y / pHeight);
    const bool lGridRow = (y - lOriginY) % lCell == 0;
    for (int x = 0; x < pWidth; ++x) {
      const bool lGrid = lGridRow || (x - lOriginX) % lCell == 0;
      const uchar lGrey = static_cast<uchar>(lGrid ? lBase + 14 : lBase);
      lRow[4 * x + 0] = lGrey;
      lRow[4 * x + 1] = lGrey;
      lRow[4 * x + 2] = lGrey;
      lRow[4 * x + 3] = 255;
    }
  }
  return lPlate;
}

}  // namespace fbhost
