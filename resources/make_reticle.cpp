// Draws the reticle shipped in the resource bundle. Run at build time so no picture file has to be
// committed. Usage: make_reticle <output.png>

#include <QImage>
#include <QString>
#include <QtGlobal>
#include <cstdio>

namespace {

constexpr int kSize = 512;
constexpr double kCentre = kSize / 2.0;

// Radii of the ring edges, in pixels.
constexpr double kInnerRingStart = 22.0;
constexpr double kInnerRingEnd = 27.0;
constexpr double kOuterRingStart = 186.0;
constexpr double kOuterRingEnd = 206.0;

// The ticks are 20 pixels wide, centred on the axes, and stop short of the edges.
constexpr int kTickFirst = 246;
constexpr int kTickLast = 265;
constexpr int kTickMargin = 6;

constexpr int kOpaque = 255;
constexpr int kShade = 38;  // Faint disc between the rings.

bool InTickBand(int v) { return v >= kTickFirst && v <= kTickLast; }
bool InTickReach(int v) { return v >= kTickMargin && v < kSize - kTickMargin; }

int AlphaAt(int x, int y) {
  // Sample at the pixel centre. Squared distances of half-integer offsets are exact in double,
  // so the ring edges do not depend on rounding.
  const double dx = x + 0.5 - kCentre;
  const double dy = y + 0.5 - kCentre;
  const double r2 = dx * dx + dy * dy;
  if (r2 < kInnerRingStart * kInnerRingStart) return 0;
  if (r2 < kInnerRingEnd * kInnerRingEnd) return kOpaque;
  if (r2 < kOuterRingStart * kOuterRingStart) return kShade;
  if (r2 <= kOuterRingEnd * kOuterRingEnd) return kOpaque;
  const bool vertical_tick = InTickBand(x) && InTickReach(y);
  const bool horizontal_tick = InTickBand(y) && InTickReach(x);
  return vertical_tick || horizontal_tick ? kOpaque : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output.png>\n", argv[0]);
    return 2;
  }

  // Straight (not premultiplied) alpha: premultiplying would turn the transparent pixels black in
  // the file, and the shape lives in alpha only.
  QImage image(kSize, kSize, QImage::Format_ARGB32);
  for (int y = 0; y < kSize; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < kSize; ++x) line[x] = qRgba(255, 255, 255, AlphaAt(x, y));
  }

  const QString path = QString::fromLocal8Bit(argv[1]);
  if (!image.save(path, "PNG")) {
    std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
    return 1;
  }
  return 0;
}
