#include "tools/ForgeTexture.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

constexpr double Pi = 3.14159265358979323846;

// Small deterministic generator: the standard distributions are not
// guaranteed to give the same numbers on every library.
class CRandom {
 public:
  explicit CRandom(uint32_t seed) : state(seed * 2654435761u + 0x9E3779B9u) {
    for (int i = 0; i < 4; ++i) Next();
  }
  uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
  double Unit() { return (Next() & 0xFFFFFF) / 16777216.0; }

 private:
  uint32_t state;
};

// Value noise on a lattice that wraps, so that the tile repeats without a seam.
class CTileNoise {
 public:
  CTileNoise(uint32_t seed, int period) : n(period), values(static_cast<size_t>(period) * period) {
    CRandom r(seed);
    for (double& v : values) v = r.Unit();
  }
  // u, v in tiles
  double At(double u, double v) const {
    double x = u * n, y = v * n;
    int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    double fx = x - x0, fy = y - y0;
    fx = fx * fx * (3 - 2 * fx);
    fy = fy * fy * (3 - 2 * fy);
    double a = Get(x0, y0), b = Get(x0 + 1, y0), c = Get(x0, y0 + 1), d = Get(x0 + 1, y0 + 1);
    double top = a + (b - a) * fx, bottom = c + (d - c) * fx;
    return top + (bottom - top) * fy;
  }

 private:
  double Get(int x, int y) const {
    x = ((x % n) + n) % n;
    y = ((y % n) + n) % n;
    return values[static_cast<size_t>(y) * static_cast<size_t>(n) + static_cast<size_t>(x)];
  }
  int n;
  std::vector<double> values;
};

struct Variant {
  int cells;       // stars per tile side (divides the texture size)
  int squares;     // 2: eight-pointed star, 3: twelve-pointed
  double radius;   // half-size of the star's squares, in cell units
  double strap;    // half-width of the raised straps
  double petals;   // rosette petal count multiplier
  double warmth;   // 0 pale yellow gold .. 1 warm rose gold
};

Variant PickVariant(int entry) {
  CRandom r(static_cast<uint32_t>(entry) * 7919u + 17u);
  Variant v{};
  v.cells = (r.Next() % 2) ? 2 : 4;
  v.squares = (r.Next() % 3 == 0) ? 3 : 2;
  v.radius = 0.27 + 0.05 * r.Unit();
  v.strap = 0.020 + 0.010 * r.Unit();
  v.petals = (r.Next() % 2) ? 1.0 : 0.5;
  v.warmth = r.Unit();
  return v;
}

// Brightness profile of a raised strap around a line at distance d: a rounded
// top of light gold and a thin dark chased rim. Negative outside the strap
// means "no strap here". The brightest tones are kept for the bosses.
double Strap(double d, double w) {
  double a = std::fabs(d) / w;
  if (a >= 1.3) return -1;
  if (a >= 1.0) return 0.12;
  return 0.64 + 0.22 * (1 - a * a);
}

double SquareDistance(double x, double y, double c, double s, double r) {
  double u = x * c + y * s, v = -x * s + y * c;
  return std::max(std::fabs(u), std::fabs(v)) - r;
}

// Brightness 0..1 of one star cell at (x, y), both in [-0.5, 0.5].
double CellPattern(const Variant& var, double x, double y) {
  const double w = var.strap;
  double strap = -1;
  double starInside = 1e9;
  for (int k = 0; k < var.squares; ++k) {
    double angle = k * Pi / (2 * var.squares);
    double d = SquareDistance(x, y, std::cos(angle), std::sin(angle), var.radius);
    starInside = std::min(starInside, d);
    strap = std::max(strap, Strap(d, w));
  }
  // Frame: a broad burnished strap along the cell's sides with a boss where
  // four cells meet, and ties from the star's tips to it.
  double ax = std::fabs(x), ay = std::fabs(y);
  double frame = 0.5 - std::max(ax, ay);
  strap = std::max(strap, Strap(frame, w * 1.6));
  double tip = var.radius * std::sqrt(2.0);
  if (ax > tip * 0.98) strap = std::max(strap, Strap(y, w * 0.8));
  if (ay > tip * 0.98) strap = std::max(strap, Strap(x, w * 0.8));
  double diag = std::fabs(ax - ay) / std::sqrt(2.0);
  if (ax + ay > var.radius * 2 * 0.98) strap = std::max(strap, Strap(diag, w * 0.8));
  double cornerDist = std::hypot(0.5 - ax, 0.5 - ay);
  if (cornerDist < w * 3.2) strap = std::max(strap, 0.85 + 0.15 * (1 - cornerDist / (w * 3.2)));

  // Rosette in the star: petals outlined by a strap, a domed boss in the middle.
  double r = std::hypot(x, y);
  double theta = std::atan2(y, x);
  int points = var.squares * 4;
  double petalEdge = var.radius * (0.50 + 0.18 * std::cos(theta * points * var.petals));
  strap = std::max(strap, Strap(r - petalEdge, w * 0.8));
  if (r < var.radius * 0.18) strap = std::max(strap, 0.80 + 0.20 * (1 - r / (var.radius * 0.18)));
  if (strap >= 0) return strap;

  if (starInside < 0) {
    // Field inside the star: smooth gold, brighter toward the rosette.
    return 0.55 + 0.12 * (1 - std::min(1.0, r / var.radius));
  }
  // Ground between the stars: ring-punched matting in the deeper tone.
  double gx = x * 22 + 0.5, gy = y * 22 + 0.5;
  double fx = gx - std::floor(gx) - 0.5, fy = gy - std::floor(gy) - 0.5;
  return std::hypot(fx, fy) < 0.22 ? 0.22 : 0.36;
}

// Gold from shadow to burnished highlight, by brightness.
void GoldColour(double b, double warmth, uint8_t* out) {
  static const double stops[][4] = {
      {0.00, 104, 66, 18},   {0.30, 170, 118, 38},  {0.55, 222, 172, 70},
      {0.80, 248, 214, 118}, {1.00, 255, 247, 214},
  };
  size_t i = 0;
  while (i + 2 < std::size(stops) && b > stops[i + 1][0]) ++i;
  double t = std::clamp((b - stops[i][0]) / (stops[i + 1][0] - stops[i][0]), 0.0, 1.0);
  for (int c = 0; c < 3; ++c) {
    double v = stops[i][c + 1] + (stops[i + 1][c + 1] - stops[i][c + 1]) * t;
    // Warmer leaf: a little less green and blue in the darker tones.
    v *= 1.0 - warmth * (1.0 - b) * (c == 0 ? 0.0 : c == 1 ? 0.06 : 0.18);
    out[c] = static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
  }
}

}  // namespace

void PaintOrnament(int entry, int size, std::vector<uint8_t>* rgb) {
  const Variant var = PickVariant(entry);
  const uint32_t seed = static_cast<uint32_t>(entry) * 31u;
  const CTileNoise cloud(seed + 1, 4), mottling(seed + 2, 16), grain(seed + 3, 128);
  const int cellPx = size / var.cells;

  // The star cell is the same everywhere; compute it once.
  std::vector<double> cell(static_cast<size_t>(cellPx) * static_cast<size_t>(cellPx));
  for (int y = 0; y < cellPx; ++y)
    for (int x = 0; x < cellPx; ++x)
      cell[static_cast<size_t>(y) * static_cast<size_t>(cellPx) + static_cast<size_t>(x)] =
          CellPattern(var, (x + 0.5) / cellPx - 0.5, (y + 0.5) / cellPx - 0.5);

  rgb->assign(static_cast<size_t>(size) * static_cast<size_t>(size) * 3, 0);
  for (int py = 0; py < size; ++py) {
    for (int px = 0; px < size; ++px) {
      double u = (px + 0.5) / size, v = (py + 0.5) / size;
      double b = cell[static_cast<size_t>(py % cellPx) * static_cast<size_t>(cellPx) + static_cast<size_t>(px % cellPx)];
      // Burnish: broad light and dark clouds as in hand-laid leaf, then grain.
      // The straps take only a trace of it: the walls are mapped onto the
      // frame strap and should look evenly polished.
      double sheen = 0.14 * (cloud.At(u, v) - 0.5) + 0.08 * (mottling.At(u, v) - 0.5) +
                     0.05 * std::sin(2 * Pi * (u + v)) + 0.05 * (grain.At(u, v) - 0.5);
      b += sheen * (b > 0.8 ? 0.3 : 1.0);
      GoldColour(std::clamp(b, 0.0, 1.0), var.warmth,
                 rgb->data() + (static_cast<size_t>(py) * static_cast<size_t>(size) + static_cast<size_t>(px)) * 3);
    }
  }
}
