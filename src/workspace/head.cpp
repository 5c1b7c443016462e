// SPDX-License-Identifier: GPL-3.0-or-later
#include "workspace/head.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <utility>

namespace workspace {

namespace {

// How the head is told from the wall, in one place. Distances are between
// colours in RGB, Euclidean, in levels.
//
// Grain. Every pixel is first averaged with its eight neighbours: a phone's
// grain (4 to 7 a channel) falls to a third, an edge moves by under a pixel.
// Only the depth across a lit region's edge and the texture inside it read
// the pixels as they are.
//
// The wall. Its colour is read along the top row and down each side column
// to the face's bottom, wherever those are wall: a walk from the corner (the
// colour check found the corners to be background; the top row is walked
// from both ends) takes each point within kWallDrift of the colour it has
// followed so far and follows slowly (kFollow a step). A wall graded by 60
// levels changes by under half a level a pixel and is followed; a head, an
// object or a shadow crossing the edge is a jump and is bridged by a straight
// blend. Inside the frame each row blends its two sides' colours and adds the
// top's own change across (within 0 to 255: a wall blown out stays so), so
// that a wall graded top to bottom, side to side or both is met exactly.
//
// Not wall. A pixel lies kNotWall from the wall there: grain and JPEG keep
// the averaged wall within about 8, while grey hair (225, 220, 210) on a
// white wall (245, 245, 245) or black hair (30, 25, 25) on a dark blue one
// (20, 30, 60) lie 35 and more away. A pixel barely apart (under kSpeck
// times that) with fewer than two neighbours apart is the grain of a wall
// that light makes a little brighter or darker than its edges: wall.
//
// Light. A shadow has the wall's hue and is darker: the wall's colour scaled
// by k, kShadeLeast <= k < 1, give or take kHueSlack plus kHueShare of its
// depth; a patch of brighter light (a flash's) is scaled up, to kLightMost,
// give or take more (kHueShareLit: light adds to the colour too); a real wall
// painted or lit unevenly also parts from the colour its edges give by less
// than kLightAway, in any hue. Hair can be all of these (black or grey hair on
// white, black on dark blue), so the regions of such pixels (joined only
// through steps of at most kJoinStep, so that a region does not run from a
// shadow across the hair's edge) are judged by their edge with the wall and
// their inside. Averaged across the edge, a head's outline rises within a
// pixel or two: most of the rise over 10 pixels falls in the 2 across the edge
// (0.55 and more, 0.44 for grey hair lit hard from one side). A soft shadow's
// penumbra rises over 5 pixels and more (at most 0.42 over 80 shadows tried;
// the rim of hair on a graded wall came to 0.45): kSoftEdge parts them.
// Inside, light adds no texture to the wall's grain (at most kSmoothShare
// times it plus kSmoothSlack); hair has strands. Where it meets the head,
// light ends at the head's outline, a step of kInnerStep a pixel and more on
// average, while hair lit hard from one side, as pale as the wall at its edge,
// goes on smoothly into the rest of the hair. Light is a region of a
// sixty-fourth of the face box's area or more (kShadowLeast) that reaches the
// wall around the frame (not skin as bright as a white wall), or a smaller
// soft region of kShadowPatch pixels or more touching such light. It is wall:
// the head is measured without it, and where it is darker than the wall it is
// a shadow. A darker region barely apart from the wall on both sides of its
// edge (a rise under kNotWall / 2) has no edge to judge: hair a little darker
// than the wall looks just like it, so where it touches the head the hair is
// taken as like the wall.
//
// The head. The pixels that are not wall and hang together with the face's
// middle. Its top is the first row where they reach an eighth of the face's
// width (kHeadShare): a stray hair never does, the rounded top within a row
// or two. Its sides are the outermost columns where they reach an eighth of
// the rows from the top down to three quarters of the face box (kSidesDown):
// a head is widest above the mouth, a collar or shoulders come up beside the
// chin.
//
// Unsure. The hair is taken as like the wall when the head's first rows, or
// its pixels 3 to 5 in from either side's outline (past the edge's blend),
// stand less than kSure from it: hair seen only in part, or grey hair lit so
// hard from one side that its edge there is nearly as pale as the wall (grey
// hair (225, 220, 210) on white stands 36 away, 45 in from its edge; a light
// a tenth brighter at that edge brings it to 20). It is also taken so when
// nothing changes by kHairline down the middle from just below the head's
// top to the face (the top is the forehead: the hair is not seen at all);
// when more than kFaintShare of the wall just above the top is kFaint or
// more darker than the wall (hair the threshold did not take); or when a
// faint shade touches the head. An object touches the head when the head is
// larger than a head can be (kWidestHead face widths, or a face height above
// the face), or when its outline has a straight edge: a flat top (kFlatTop
// of the face's width within a pixel's rise), a level edge below the top
// (kLevelEdge), or a straight side (kStraightSide of the face's height); a
// head's outline curves away from its top, its sides and its widest rows
// within about 0.4 of those.
constexpr float kWallDrift = 12;
constexpr float kFollow = 0.1f;
constexpr int kProfileReach = 3;  // the running mean along an edge: 7 points
constexpr float kNotWall = 16;
constexpr float kSpeck = 1.5f;
constexpr float kShadeLeast = 0.35f;
constexpr float kLightMost = 1.5f;
constexpr float kLightAway = 40;
constexpr float kHueSlack = 6, kHueShare = 0.25f, kHueShareLit = 0.7f;
constexpr float kJoinStep = 10;
constexpr float kSoftEdge = 0.43f;
constexpr float kInnerStep = 4;
constexpr float kSmoothShare = 1.6f, kSmoothSlack = 1.5f;
constexpr int kShadowLeast = 64;
constexpr size_t kShadowPatch = 8;
constexpr int kHeadShare = 8;
constexpr int kSidesDown = 3;  // quarters of the face box
constexpr int kWidestHead = 2;
constexpr float kSure = 26;
constexpr float kHairline = 14;
constexpr float kFaint = 9, kFaintShare = 0.3f;
constexpr float kFlatTop = 0.6f, kLevelEdge = 0.25f, kStraightSide = 0.75f;

using Rgb = std::array<float, 3>;

float Dot(const Rgb& a, const Rgb& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

float SquaredDistance(const Rgb& a, const Rgb& b) {
    const Rgb d{a[0] - b[0], a[1] - b[1], a[2] - b[2]};
    return Dot(d, d);
}

float Distance(const Rgb& a, const Rgb& b) {
    return std::sqrt(SquaredDistance(a, b));
}

Rgb Channels(QRgb c) {
    return {float(qRed(c)), float(qGreen(c)), float(qBlue(c))};
}

// Each pixel of the first `rows` rows as the mean of the 3 x 3 around it
// (the photo's edge pixels repeated), row after row.
std::vector<Rgb> Averaged(const QImage& photo, int rows) {
    const int w = photo.width(), h = photo.height();
    // Three rows' sums across, by row number modulo 3.
    std::vector<std::array<int, 3>> across(size_t(w) * 3);
    const auto sumAcross = [&](int y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(photo.constScanLine(std::clamp(y, 0, h - 1)));
        std::array<int, 3>* out = &across[size_t((y + 3) % 3) * size_t(w)];
        for (int x = 0; x < w; ++x) {
            const QRgb l = line[std::max(x - 1, 0)], m = line[x], r = line[std::min(x + 1, w - 1)];
            out[x] = {qRed(l) + qRed(m) + qRed(r), qGreen(l) + qGreen(m) + qGreen(r), qBlue(l) + qBlue(m) + qBlue(r)};
        }
    };
    std::vector<Rgb> averaged(size_t(w) * size_t(rows));
    sumAcross(-1);
    sumAcross(0);
    for (int y = 0; y < rows; ++y) {
        sumAcross(y + 1);
        const auto sums = [&](int row) { return &across[size_t((row + 3) % 3) * size_t(w)]; };
        const std::array<int, 3>*up = sums(y - 1), *mid = sums(y), *down = sums(y + 1);
        Rgb* out = &averaged[size_t(y) * size_t(w)];
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                out[x][c] = float(up[x][c] + mid[x][c] + down[x][c]) * (1.0f / 9);
    }
    return averaged;
}

// Which points along an edge are wall: walked from its start (and from its
// end too with `fromBothEnds`), a point is wall while it lies near the
// colour followed so far.
std::vector<bool> WallPoints(const std::vector<Rgb>& seen, bool fromBothEnds) {
    const int n = int(seen.size());
    std::vector<bool> wall(size_t(n), false);
    for (const bool forward : {true, false}) {
        if (!forward && !fromBothEnds)
            break;
        Rgb followed = seen[forward ? 0 : size_t(n - 1)];
        for (int k = 0; k < n; ++k) {
            const size_t i = size_t(forward ? k : n - 1 - k);
            if (Distance(seen[i], followed) > kWallDrift)
                continue;
            wall[i] = true;
            for (int c = 0; c < 3; ++c)
                followed[c] += (seen[i][c] - followed[c]) * kFollow;
        }
    }
    return wall;
}

// The wall's colour all along an edge: its wall points, straight blends
// across what is not wall (the nearest wall point's colour beyond the last),
// then a short running mean.
std::vector<Rgb> WallAlong(const std::vector<Rgb>& seen, bool fromBothEnds) {
    const int n = int(seen.size());
    const std::vector<bool> wall = WallPoints(seen, fromBothEnds);
    std::vector<Rgb> filled(seen.size());
    int last = -1;
    for (int i = 0; i <= n; ++i) {
        if (i < n && !wall[size_t(i)])
            continue;
        for (int j = last + 1; j < i; ++j) {
            const Rgb& a = seen[size_t(last >= 0 ? last : i)];
            const Rgb& b = seen[size_t(i < n ? i : last)];
            const float t = last >= 0 && i < n ? float(j - last) / float(i - last) : 0;
            for (int c = 0; c < 3; ++c)
                filled[size_t(j)][c] = a[c] + (b[c] - a[c]) * t;
        }
        if (i < n)
            filled[size_t(i)] = seen[size_t(i)];
        last = i;
    }
    std::vector<Rgb> mean(seen.size());
    for (int i = 0; i < n; ++i) {
        Rgb sum{0, 0, 0};
        const int from = std::max(0, i - kProfileReach), to = std::min(n - 1, i + kProfileReach);
        for (int j = from; j <= to; ++j)
            for (int c = 0; c < 3; ++c)
                sum[c] += filled[size_t(j)][c];
        for (int c = 0; c < 3; ++c)
            mean[size_t(i)][c] = sum[c] / float(to - from + 1);
    }
    return mean;
}

// The wall behind the frame, from its top row and side columns: each row
// blends its two sides' colours and adds the top's own change across.
struct Wall {
    std::vector<Rgb> top, left, right;  // left and right less the top's ends
    std::vector<float> across;          // each column's share of the right side

    // Within what a photo can hold: a wall blown out at its edges stays so.
    Rgb At(int x, int y) const {
        const float u = across[size_t(x)];
        const Rgb &l = left[size_t(y)], &r = right[size_t(y)], &t = top[size_t(x)];
        const auto channel = [&](int c) { return std::clamp(l[c] + u * (r[c] - l[c]) + t[c], 0.0f, 255.0f); };
        return {channel(0), channel(1), channel(2)};
    }
};

Wall WallOf(const std::vector<Rgb>& smooth, int width, int rows) {
    std::vector<Rgb> top(static_cast<size_t>(width)), left(static_cast<size_t>(rows)), right(static_cast<size_t>(rows));
    const int row = std::min(1, rows - 1), inset = std::min(1, width - 1);
    for (int x = 0; x < width; ++x)
        top[size_t(x)] = smooth[size_t(row) * size_t(width) + size_t(x)];
    for (int y = 0; y < rows; ++y) {
        left[size_t(y)] = smooth[size_t(y) * size_t(width) + size_t(inset)];
        right[size_t(y)] = smooth[size_t(y) * size_t(width) + size_t(width - 1 - inset)];
    }
    Wall wall{WallAlong(top, true), WallAlong(left, false), WallAlong(right, false), std::vector<float>(size_t(width))};
    for (int y = 0; y < rows; ++y)
        for (int c = 0; c < 3; ++c) {
            wall.left[size_t(y)][c] -= wall.top.front()[c];
            wall.right[size_t(y)][c] -= wall.top.back()[c];
        }
    for (int x = 0; x < width; ++x)
        wall.across[size_t(x)] = width > 1 ? float(x) / float(width - 1) : 0;
    return wall;
}

// What a pixel is: wall, apart from it, of the wall's hue but darker or
// brighter (light, or hair), light on the wall, or a faint shade that may be
// hair as much as light.
enum Kind : uint8_t { OnWall, Apart, WallHued, Lighting, FaintShade };

// Everything seen of the frame down to the face's bottom.
struct Scene {
    const QImage& photo;
    int width, rows;
    std::vector<Rgb> smooth;
    Wall wall;
    std::vector<float> away;  // each pixel's distance from the wall there, where not wall
    std::vector<Kind> kind;
    float grain = 0;     // the wall's own: a pixel's mean distance from its average
    bool faint = false;  // whether there is a faint shade

    size_t Index(int x, int y) const { return size_t(y) * size_t(width) + size_t(x); }
    bool Within(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < rows; }
    Rgb Raw(int x, int y) const { return Channels(reinterpret_cast<const QRgb*>(photo.constScanLine(y))[x]); }
    // How far darker than the wall the raw pixel is, along the wall's colour.
    float RawDepth(int x, int y) const {
        const Rgb w = wall.At(x, y);
        const float norm = std::max(1.0f, std::sqrt(Dot(w, w)));
        return norm - Dot(Raw(x, y), w) / norm;
    }
};

// Sorts the pixels: wall, apart from it, or of the wall's hue. The wall's
// grain is taken from every other wall pixel of every other row.
void Classify(Scene& scene) {
    scene.away.assign(scene.smooth.size(), 0);
    scene.kind.assign(scene.smooth.size(), OnWall);
    double grain = 0;
    int count = 0;
    for (int y = 0; y < scene.rows; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(scene.photo.constScanLine(y));
        for (int x = 0; x < scene.width; ++x) {
            const size_t i = scene.Index(x, y);
            const Rgb& s = scene.smooth[i];
            const Rgb w = scene.wall.At(x, y);
            const float away = SquaredDistance(s, w);
            if (away < kNotWall * kNotWall) {
                if ((x | y) % 2 == 0) {
                    grain += Distance(Channels(line[x]), s);
                    ++count;
                }
                continue;
            }
            scene.away[i] = std::sqrt(away);
            const float k = Dot(s, w) / std::max(1.0f, Dot(w, w));
            const float depth = (1 - k) * std::sqrt(Dot(w, w));
            const bool hued = k >= kShadeLeast && k <= kLightMost &&
                              Distance(s, {k * w[0], k * w[1], k * w[2]}) <=
                                  kHueSlack + (k < 1 ? kHueShare : kHueShareLit) * std::abs(depth);
            scene.kind[i] = hued ? WallHued : Apart;
        }
    }
    scene.grain = count ? float(grain / count) : 0;
}

constexpr std::pair<int, int> kFourWays[] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};

// Takes back to the wall the pixels that lie barely apart from it (less than
// kSpeck times kNotWall) with fewer than two 4-neighbours apart: the grain
// of a wall that light makes a little brighter or darker than its edges.
void Despeckle(Scene& scene) {
    const std::vector<Kind> seen = scene.kind;
    for (int y = 0; y < scene.rows; ++y)
        for (int x = 0; x < scene.width; ++x) {
            const size_t i = scene.Index(x, y);
            if (seen[i] == OnWall || scene.away[i] >= kSpeck * kNotWall)
                continue;
            int apart = 0;
            for (const auto& [dx, dy] : kFourWays)
                apart += scene.Within(x + dx, y + dy) && seen[scene.Index(x + dx, y + dy)] != OnWall;
            if (apart < 2)
                scene.kind[i] = OnWall;
        }
}

// The pixels of `member` joined to (x, y) through their 4 neighbours, marked
// in `taken` (and listed, with `listed`); with `stepwise`, only through
// neighbours whose averaged colours differ by at most kJoinStep.
std::vector<int> Region(const Scene& scene, const std::vector<uint8_t>& member, int x, int y,
                        std::vector<uint8_t>& taken, bool stepwise, bool listed = true) {
    std::vector<int> region;
    std::vector<std::pair<int, int>> todo{{x, y}};
    taken[scene.Index(x, y)] = 1;
    while (!todo.empty()) {
        const auto [ax, ay] = todo.back();
        todo.pop_back();
        const size_t at = scene.Index(ax, ay);
        if (listed)
            region.push_back(int(at));
        const auto visit = [&](bool within, int nx, int ny, size_t next) {
            if (!within || !member[next] || taken[next] ||
                (stepwise && SquaredDistance(scene.smooth[at], scene.smooth[next]) > kJoinStep * kJoinStep))
                return;
            taken[next] = 1;
            todo.push_back({nx, ny});
        };
        const size_t row = size_t(scene.width);
        visit(ax > 0, ax - 1, ay, at - 1);
        visit(ax + 1 < scene.width, ax + 1, ay, at + 1);
        visit(ay > 0, ax, ay - 1, at - row);
        visit(ay + 1 < scene.rows, ax, ay + 1, at + row);
    }
    return region;
}

// How sharp a region's edge with the wall is: the raw pixels' depth below
// the wall averaged across the edge, at each step from 3 pixels outside it
// to 6 inside, and the share of the rise over those 10 pixels that falls in
// the 2 steps across the edge itself; nothing where it has no edge at all.
std::optional<float> EdgeSharpness(const Scene& scene, const std::vector<int>& region) {
    constexpr int kOut = 3, kIn = 6;
    std::array<double, kOut + kIn + 1> sum{};
    std::array<int, kOut + kIn + 1> count{};
    for (const int i : region) {
        const int x = i % scene.width, y = i / scene.width;
        for (const auto& [dx, dy] : kFourWays) {
            if (!scene.Within(x + dx, y + dy) || scene.kind[scene.Index(x + dx, y + dy)] != OnWall)
                continue;
            for (int k = -kOut; k <= kIn; ++k)
                if (scene.Within(x - k * dx, y - k * dy)) {
                    sum[size_t(k + kOut)] += scene.RawDepth(x - k * dx, y - k * dy);
                    ++count[size_t(k + kOut)];
                }
        }
    }
    const auto mean = [&](int k) { return sum[size_t(k + kOut)] / std::max(1, count[size_t(k + kOut)]); };
    if (count[kOut] == 0)
        return 1.0f;  // no edge with the wall: inside the head
    const double rise = mean(kIn) - mean(-kOut);
    if (std::abs(rise) <= kNotWall / 2)
        return std::nullopt;  // barely apart from the wall on either side: no edge at all
    return float((mean(1) - mean(-1)) / rise);
}

// What a region of the wall's hue (or barely apart from the wall) is: not
// light, light with a soft edge, or light with no edge at all, which hair a
// little darker than the wall can be too.
enum class Light { No, Soft, Edgeless };

// Light on the wall: its edge with the wall soft or none, and no texture
// above the wall's grain inside it.
Light JudgeLight(const Scene& scene, const std::vector<uint8_t>& member, const std::vector<int>& region) {
    double texture = 0, step = 0;
    int inside = 0, steps = 0;
    for (const int i : region) {
        const int x = i % scene.width, y = i / scene.width;
        int around = 0;
        for (const auto& [dx, dy] : kFourWays) {
            if (!scene.Within(x + dx, y + dy))
                continue;
            const size_t next = scene.Index(x + dx, y + dy);
            around += member[next];
            if (!member[next] && scene.kind[next] != OnWall) {
                step += Distance(scene.smooth[size_t(i)], scene.smooth[next]);
                ++steps;
            }
        }
        if (around == 4) {
            texture += Distance(scene.Raw(x, y), scene.smooth[size_t(i)]);
            ++inside;
        }
    }
    // Light ends at the head's outline, hair goes on into more hair.
    if (inside == 0 || float(texture / inside) > kSmoothShare * scene.grain + kSmoothSlack ||
        (steps > 0 && float(step / steps) < kInnerStep))
        return Light::No;
    const std::optional<float> sharpness = EdgeSharpness(scene, region);
    return !sharpness ? Light::Edgeless : *sharpness < kSoftEdge ? Light::Soft : Light::No;
}

// Whether a pixel of `region` has a 4-neighbour that is `near`.
template <typename Near>
bool Touches(const Scene& scene, const std::vector<int>& region, Near near) {
    return std::any_of(region.begin(), region.end(), [&](int i) {
        const int x = i % scene.width, y = i / scene.width;
        return std::any_of(std::begin(kFourWays), std::end(kFourWays), [&](const auto& way) {
            return scene.Within(x + way.first, y + way.second) && near(scene.Index(x + way.first, y + way.second));
        });
    });
}

// The wall that reaches the frame's top row or side columns; not, say, skin
// as bright as a white wall inside the face.
std::vector<uint8_t> OuterWall(const Scene& scene) {
    std::vector<uint8_t> wall(scene.kind.size()), outer(scene.kind.size(), 0);
    for (size_t i = 0; i < wall.size(); ++i)
        wall[i] = scene.kind[i] == OnWall;
    const auto reach = [&](int x, int y) {
        if (wall[scene.Index(x, y)] && !outer[scene.Index(x, y)])
            Region(scene, wall, x, y, outer, false, false);
    };
    for (int x = 0; x < scene.width; ++x)
        reach(x, 0);
    for (int y = 0; y < scene.rows; ++y) {
        reach(0, y);
        reach(scene.width - 1, y);
    }
    return outer;
}

// Marks the light on the wall, and faint shades; true when some of the light
// is a shadow (darker than the wall). Light is large and reaches the wall
// around the frame, or is a soft patch next to such light that a steep step
// of a penumbra cut off.
bool FindLight(Scene& scene, const QRect& face) {
    std::vector<uint8_t> hued(scene.kind.size()), taken(scene.kind.size(), 0);
    for (size_t i = 0; i < hued.size(); ++i)
        hued[i] = scene.kind[i] == WallHued || (scene.kind[i] == Apart && scene.away[i] < kLightAway);
    std::vector<std::pair<std::vector<int>, Light>> lit;
    for (int y = 0; y < scene.rows; ++y)
        for (int x = 0; x < scene.width; ++x)
            if (hued[scene.Index(x, y)] && !taken[scene.Index(x, y)]) {
                std::vector<int> region = Region(scene, hued, x, y, taken, true);
                const Light light = region.size() >= kShadowPatch ? JudgeLight(scene, hued, region) : Light::No;
                if (light != Light::No)
                    lit.emplace_back(std::move(region), light);
            }
    std::vector<uint8_t> outer;  // worked out only when light is large enough to ask
    const auto onOuterWall = [&](size_t i) {
        if (outer.empty())
            outer = OuterWall(scene);
        return outer[i] != 0;
    };
    const auto onLight = [&](size_t i) { return scene.kind[i] == Lighting || scene.kind[i] == FaintShade; };
    bool shadow = false, grown = true;
    for (int pass = 0; grown; ++pass) {
        grown = false;
        for (auto& [region, light] : lit) {
            const bool large = int(region.size()) * kShadowLeast >= face.width() * face.height();
            if (region.empty() ||
                !(pass == 0 ? large && Touches(scene, region, onOuterWall) : Touches(scene, region, onLight)))
                continue;
            double depth = 0;
            for (const int j : region)
                depth += scene.RawDepth(j % scene.width, j / scene.width);
            const bool faint = light == Light::Edgeless && depth > 0;
            for (const int j : region)
                scene.kind[size_t(j)] = faint ? FaintShade : Lighting;
            scene.faint = scene.faint || faint;
            shadow = shadow || (depth > 0 && !faint);
            region.clear();
            grown = true;
        }
    }
    return shadow;
}

// The pixels that are not wall and hang together with the face's middle.
std::vector<uint8_t> HeadPixels(const Scene& scene, const QRect& face) {
    std::vector<uint8_t> apart(scene.kind.size()), head(scene.kind.size(), 0);
    for (size_t i = 0; i < apart.size(); ++i)
        apart[i] = scene.kind[i] == Apart || scene.kind[i] == WallHued;
    const QRect middle = QRect(face.center() - QPoint(face.width() / 4, face.height() / 4), face.size() / 2) &
                         QRect(0, 0, scene.width, scene.rows);
    for (int y = middle.top(); y <= middle.bottom(); ++y)
        for (int x = middle.left(); x <= middle.right(); ++x)
            if (apart[scene.Index(x, y)] && !head[scene.Index(x, y)])
                Region(scene, apart, x, y, head, false, false);
    return head;
}

struct Outline {
    int top = -1, left = -1, right = -1;
    int bottom = 0;  // the last row the sides are measured over, past the end
};

// The head's top: the first row where its pixels across the face's width
// reach a share of it; its sides: the outermost columns where its pixels from
// the top down to the face box's lower quarter reach a share of those rows.
Outline OutlineOf(const Scene& scene, const std::vector<uint8_t>& head, const QRect& face) {
    Outline o;
    const int rowShare = std::max(3, face.width() / kHeadShare);
    for (int y = 0; y < scene.rows && o.top < 0; ++y) {
        int count = 0;
        for (int x = std::max(0, face.left()); x <= std::min(face.right(), scene.width - 1); ++x)
            count += head[scene.Index(x, y)];
        if (count >= rowShare)
            o.top = y;
    }
    if (o.top < 0)
        return o;
    o.bottom = std::min(scene.rows, face.top() + face.height() * kSidesDown / 4);
    const int columnShare = std::max(3, (o.bottom - o.top) / kHeadShare);
    for (int x = 0; x < scene.width; ++x) {
        int count = 0;
        for (int y = o.top; y < o.bottom; ++y)
            count += head[scene.Index(x, y)];
        if (count < columnShare)
            continue;
        if (o.left < 0)
            o.left = x;
        o.right = x;
    }
    return o;
}

// The longest run of `ends` whose values stay within a pixel of each other,
// leaving out values below `least` (-1 where there is no end) and at `frame`
// (the photo's edge).
int LongestStraight(const std::vector<int>& ends, int frame, int least = 0) {
    int longest = 0, from = 0;
    for (int i = 0; i < int(ends.size()); ++i) {
        if (ends[size_t(i)] < least || ends[size_t(i)] == frame) {
            from = i + 1;
            continue;
        }
        while (from < i) {
            const auto [lo, hi] = std::minmax_element(ends.begin() + from, ends.begin() + i + 1);
            if (*hi - *lo <= 1)
                break;
            ++from;
        }
        longest = std::max(longest, i - from + 1);
    }
    return longest;
}

// An object touching the head shows as a straight edge on its outline.
bool StraightEdge(const Scene& scene, const std::vector<uint8_t>& head, const Outline& o, const QRect& face) {
    std::vector<int> tops(size_t(scene.width), -1), lefts(size_t(scene.rows), -1), rights(size_t(scene.rows), -1);
    for (int y = o.top; y < scene.rows; ++y)
        for (int x = 0; x < scene.width; ++x) {
            if (!head[scene.Index(x, y)])
                continue;
            if (tops[size_t(x)] < 0)
                tops[size_t(x)] = y;
            if (lefts[size_t(y)] < 0)
                lefts[size_t(y)] = x;
            rights[size_t(y)] = x;
        }
    const int side = std::max(LongestStraight(lefts, 0), LongestStraight(rights, scene.width - 1));
    return LongestStraight(tops, 0) >= kFlatTop * float(face.width()) ||
           LongestStraight(tops, 0, o.top + 3) >= kLevelEdge * float(face.width()) ||
           side >= kStraightSide * float(face.height());
}

// The mean distance from the wall of the head's pixels in `area`.
float HeadAway(const Scene& scene, const std::vector<uint8_t>& head, const QRect& area) {
    double far = 0;
    int n = 0;
    const QRect within = area & QRect(0, 0, scene.width, scene.rows);
    for (int y = within.top(); y <= within.bottom(); ++y)
        for (int x = within.left(); x <= within.right(); ++x)
            if (head[scene.Index(x, y)]) {
                far += scene.away[scene.Index(x, y)];
                ++n;
            }
    return n ? float(far / n) : 0;
}

// How far from the wall the head stands just inside its sides, on the side
// where it stands least: the mean distance of its pixels 3 to 5 in from the
// outline (past the edge's blend), over the middle half of the side's rows.
float SideAway(const Scene& scene, const std::vector<uint8_t>& head, const Outline& o) {
    const int tall = (o.bottom - o.top) / 4;
    float least = 255;
    for (const int inwards : {1, -1}) {
        double far = 0;
        int n = 0;
        for (int y = o.top + tall; y <= o.bottom - tall; ++y) {
            int x = inwards > 0 ? o.left : o.right;
            while (scene.Within(x, y) && !head[scene.Index(x, y)])
                x += inwards;
            for (int in = x + 3 * inwards; in != x + 6 * inwards; in += inwards)
                if (scene.Within(in, y) && head[scene.Index(in, y)]) {
                    far += scene.away[scene.Index(in, y)];
                    ++n;
                }
        }
        if (n > 0)
            least = std::min(least, float(far / n));
    }
    return least;
}

// The largest change of colour down the middle of the head, from just below
// its top to the face box's upper eighth, above the eyebrows (the median over
// the middle third of the face's columns): the hair's edge with the
// forehead, or nothing where the top is the forehead's own skin.
float HairlineStep(const Scene& scene, const Outline& o, const QRect& face) {
    std::vector<float> steps;
    for (int x = face.center().x() - face.width() / 6; x <= face.center().x() + face.width() / 6; ++x) {
        float most = 0;
        for (int y = o.top + 4; y + 3 < face.top() + face.height() / 8; ++y)
            most = std::max(most, Distance(scene.smooth[scene.Index(x, y)], scene.smooth[scene.Index(x, y + 3)]));
        steps.push_back(most);
    }
    std::nth_element(steps.begin(), steps.begin() + long(steps.size() / 2), steps.end());
    return steps[steps.size() / 2];
}

// Whether a pixel is darker than the wall there by kFaint or more: hair the
// wall's colour hides in part (a wall brighter than its edges is light).
bool FaintlyDarker(const Scene& scene, int x, int y) {
    const Rgb& seen = scene.smooth[scene.Index(x, y)];
    const Rgb wall = scene.wall.At(x, y);
    return Dot(seen, wall) < Dot(wall, wall) && Distance(seen, wall) >= kFaint;
}

// The share of the wall just above the head's top (3 to 8 pixels above it,
// over the middle half of its width) that is faintly darker, leaving out
// the columns where a shadow lies there.
float FaintAbove(const Scene& scene, const std::vector<uint8_t>& head, const Outline& o) {
    const int quarter = (o.right - o.left) / 4;
    int faint = 0, all = 0;
    for (int x = o.left + quarter; x <= o.right - quarter; ++x) {
        int top = o.top;
        while (top < scene.rows && !head[scene.Index(x, top)])
            ++top;
        const int from = std::max(0, top - 8);
        bool lit = false;
        for (int y = from; y < top && !lit; ++y)
            lit = scene.kind[scene.Index(x, y)] == Lighting || scene.kind[scene.Index(x, y)] == FaintShade;
        for (int y = from; y <= top - 3 && !lit; ++y) {
            faint += FaintlyDarker(scene, x, y);
            ++all;
        }
    }
    return all ? float(faint) / float(all) : 0;
}

// Whether a faint shade on the wall touches the head: hair a little darker
// than the wall looks just like it.
bool FaintShadeBeside(const Scene& scene, const std::vector<uint8_t>& head) {
    for (int y = 0; y < scene.rows && scene.faint; ++y)
        for (int x = 0; x < scene.width; ++x)
            if (head[scene.Index(x, y)] &&
                std::any_of(std::begin(kFourWays), std::end(kFourWays), [&](const auto& way) {
                    return scene.Within(x + way.first, y + way.second) &&
                           scene.kind[scene.Index(x + way.first, y + way.second)] == FaintShade;
                }))
                return true;
    return false;
}

// Why the outline found cannot be trusted, if it cannot.
HeadDoubt Doubt(const Scene& scene, const std::vector<uint8_t>& head, const Outline& o, const QRect& face) {
    if (o.top < 0 || o.top >= face.top())
        return HeadDoubt::NoTop;
    const float topAway = HeadAway(scene, head, QRect(0, o.top + 1, scene.width, 4));
    const float rimAway = std::min(topAway, SideAway(scene, head, o));
    if (rimAway < kSure || HairlineStep(scene, o, face) < kHairline || FaintAbove(scene, head, o) > kFaintShare ||
        FaintShadeBeside(scene, head))
        return HeadDoubt::HairLikeWall;
    const bool headSized = o.right - o.left + 1 <= kWidestHead * face.width() && face.top() - o.top <= face.height();
    if (!headSized || StraightEdge(scene, head, o, face))
        return HeadDoubt::ObjectBeside;
    return HeadDoubt::None;
}

}  // namespace

HeadMeasure::Side HeadMeasure::Furthest() const {
    for (Side side : {Top, Left, Right})
        if (margin[side] == 0)
            return side;
    Side furthest = Top;
    for (Side side : {Left, Right})
        if (std::abs(margin[side] - kHeadMargin) > std::abs(margin[furthest] - kHeadMargin))
            furthest = side;
    return furthest;
}

QRect LargestFace(const QVector<QRect>& faces) {
    QRect largest;
    for (const QRect& face : faces)
        if (qint64(face.width()) * face.height() > qint64(largest.width()) * largest.height())
            largest = face;
    return largest;
}

HeadFinding MeasureHead(const QImage& picture, const QRect& found) {
    HeadFinding finding;
    finding.doubt = HeadDoubt::NoTop;
    const QImage photo = picture.convertToFormat(QImage::Format_RGB32);
    const QRect face = found & photo.rect();
    if (face.isEmpty() || photo.width() < 4 || photo.height() < 4)
        return finding;
    Scene scene{photo, photo.width(), face.bottom() + 1, Averaged(photo, face.bottom() + 1), {}, {}, {}, 0, false};
    scene.wall = WallOf(scene.smooth, scene.width, scene.rows);
    Classify(scene);
    Despeckle(scene);
    finding.shadow = FindLight(scene, face);
    const std::vector<uint8_t> head = HeadPixels(scene, face);
    const Outline o = OutlineOf(scene, head, face);
    finding.doubt = Doubt(scene, head, o, face);
    // Hair like the wall may be what looked like light on it.
    finding.shadow = finding.shadow && finding.doubt != HeadDoubt::HairLikeWall;
    if (finding.doubt != HeadDoubt::None)
        return finding;
    HeadMeasure measure;
    measure.margin[HeadMeasure::Top] = o.top;
    measure.margin[HeadMeasure::Left] = o.left;
    measure.margin[HeadMeasure::Right] = photo.width() - 1 - o.right;
    measure.outline = QRect(QPoint(o.left, o.top), QPoint(o.right, face.bottom()));
    finding.measure = measure;
    return finding;
}

QVector<base::MarkLine> TargetTicks(QPoint corner) {
    using base::MarkLine;
    constexpr int tick = 6;
    const QRect frame(corner, QSize(kFrameWidth, kFrameHeight));
    const int targetTop = frame.top() + kHeadMargin;
    const int targetLeft = frame.left() + kHeadMargin, targetRight = frame.right() - kHeadMargin;
    return {{QLine(frame.left(), targetTop, frame.left() + tick - 1, targetTop), MarkLine::Target},
            {QLine(frame.right() - tick + 1, targetTop, frame.right(), targetTop), MarkLine::Target},
            {QLine(targetLeft, frame.top(), targetLeft, frame.top() + tick - 1), MarkLine::Target},
            {QLine(targetRight, frame.top(), targetRight, frame.top() + tick - 1), MarkLine::Target}};
}

QVector<base::MarkLine> HeadGuides(const HeadMeasure& measure, QPoint corner) {
    using base::MarkLine;
    const auto style = [&measure](HeadMeasure::Side side) {
        return measure.Within(side) ? MarkLine::Wanted : MarkLine::Unwanted;
    };
    const QRect h = measure.outline.translated(corner);
    return QVector<MarkLine>{{QLine(h.left(), h.top(), h.right(), h.top()), style(HeadMeasure::Top)},
                             {QLine(h.left(), h.top(), h.left(), h.bottom()), style(HeadMeasure::Left)},
                             {QLine(h.right(), h.top(), h.right(), h.bottom()), style(HeadMeasure::Right)}} +
           TargetTicks(corner);
}

}  // namespace workspace
