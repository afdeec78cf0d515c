// make_dataset KIND N OUT.csv — writes N sample rows "x,y,z\n" for the viewer, all within about
// ±100 of the origin so that they fill the default view (camera at distance 250, height 150).
//   lorenz  a trajectory of the Lorenz system (sigma 10, rho 28, beta 8/3), z up
//   cube    uniformly random points in the cube of side 200 centred on the origin (fixed seed)
//   helix   ten turns of radius 100 rising from z -100 to z 100
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Point {
  double x, y, z;
};

// One fourth-order Runge-Kutta step of the Lorenz equations.
Point LorenzStep(const Point& p, double dt) {
  auto f = [](const Point& q) {
    return Point{10.0 * (q.y - q.x), q.x * (28.0 - q.z) - q.y, q.x * q.y - (8.0 / 3.0) * q.z};
  };
  auto add = [](const Point& a, const Point& b, double s) {
    return Point{a.x + s * b.x, a.y + s * b.y, a.z + s * b.z};
  };
  const Point k1 = f(p);
  const Point k2 = f(add(p, k1, dt / 2));
  const Point k3 = f(add(p, k2, dt / 2));
  const Point k4 = f(add(p, k3, dt));
  return {p.x + dt / 6 * (k1.x + 2 * k2.x + 2 * k3.x + k4.x),
          p.y + dt / 6 * (k1.y + 2 * k2.y + 2 * k3.y + k4.y),
          p.z + dt / 6 * (k1.z + 2 * k2.z + 2 * k3.z + k4.z)};
}

// The attractor centred on the origin and scaled evenly so its largest half-extent is 100.
std::vector<Point> Lorenz(long n) {
  std::vector<Point> points;
  points.reserve(static_cast<size_t>(n));
  Point p{1.0, 1.0, 1.0};
  constexpr double kStep = 0.005;
  for (int i = 0; i < 2000; ++i) p = LorenzStep(p, kStep);  // settle onto the attractor
  for (long i = 0; i < n; ++i) {
    points.push_back(p);
    p = LorenzStep(p, kStep);
  }
  if (points.empty()) return points;
  Point lo = points[0], hi = points[0];
  for (const Point& q : points) {
    lo = {std::fmin(lo.x, q.x), std::fmin(lo.y, q.y), std::fmin(lo.z, q.z)};
    hi = {std::fmax(hi.x, q.x), std::fmax(hi.y, q.y), std::fmax(hi.z, q.z)};
  }
  const double half = std::fmax(std::fmax(hi.x - lo.x, hi.y - lo.y), hi.z - lo.z) / 2;
  const double scale = half > 0 ? 100.0 / half : 1.0;
  for (Point& q : points) {
    q = {(q.x - (lo.x + hi.x) / 2) * scale, (q.y - (lo.y + hi.y) / 2) * scale,
         (q.z - (lo.z + hi.z) / 2) * scale};
  }
  return points;
}

// A 64-bit linear congruential generator with its top 53 bits as the fraction: the same points on
// every machine and library.
std::vector<Point> Cube(long n) {
  uint64_t state = 0x5EEDC0DEull;
  auto unit = [&state] {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(state >> 11) * 0x1.0p-53;
  };
  std::vector<Point> points;
  points.reserve(static_cast<size_t>(n));
  for (long i = 0; i < n; ++i) {
    const double x = unit() * 200 - 100, y = unit() * 200 - 100, z = unit() * 200 - 100;
    points.push_back({x, y, z});
  }
  return points;
}

std::vector<Point> Helix(long n) {
  std::vector<Point> points;
  points.reserve(static_cast<size_t>(n));
  for (long i = 0; i < n; ++i) {
    const double t = n > 1 ? static_cast<double>(i) / static_cast<double>(n - 1) : 0.0;
    const double angle = t * 10 * 2 * M_PI;
    points.push_back({100 * std::cos(angle), 100 * std::sin(angle), t * 200 - 100});
  }
  return points;
}

int Usage() {
  std::fprintf(stderr, "usage: make_dataset lorenz|cube|helix N OUT.csv\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return Usage();
  const std::string kind = argv[1];
  errno = 0;
  char* end = nullptr;
  const long n = std::strtol(argv[2], &end, 10);
  if (errno != 0 || end == argv[2] || *end != '\0' || n < 0) {
    std::fprintf(stderr, "make_dataset: N must be a whole number of rows, not '%s'\n", argv[2]);
    return 2;
  }
  std::vector<Point> points;
  if (kind == "lorenz") {
    points = Lorenz(n);
  } else if (kind == "cube") {
    points = Cube(n);
  } else if (kind == "helix") {
    points = Helix(n);
  } else {
    std::fprintf(stderr, "make_dataset: unknown kind '%s'\n", kind.c_str());
    return Usage();
  }

  FILE* f = std::fopen(argv[3], "wb");
  if (f == nullptr) {
    std::fprintf(stderr, "make_dataset: cannot create %s: %s\n", argv[3], std::strerror(errno));
    return 1;
  }
  bool ok = true;
  for (const Point& p : points) {
    ok = ok && std::fprintf(f, "%.6g,%.6g,%.6g\n", p.x, p.y, p.z) > 0;
  }
  if (std::fclose(f) != 0 || !ok) {
    std::fprintf(stderr, "make_dataset: could not write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
