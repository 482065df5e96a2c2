// Build-time generator for the six transfer pictures and the program icon (run: draw_pictures OUTDIR).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Rgb {
    int r, g, b;
};

const Rgb kBackground = {240, 240, 240};
const Rgb kBlack = {0, 0, 0};
const Rgb kWhite = {255, 255, 255};
const Rgb kArrowGreen = {34, 177, 76};
const Rgb kFpgaBlue = {0, 162, 232};
const Rgb kFlashOlive = {128, 128, 0};
const Rgb kXFlashPink = {255, 192, 255};
const Rgb kIFlashCyan = {192, 255, 255};
const Rgb kFoldGrey = {210, 210, 210};
const Rgb kTextGrey = {64, 64, 64};

const int kWidth = 200;
const int kHeight = 48;
const int kRowBytes = kWidth * 3;  // 600, already a multiple of four
const int kPixelBytes = kRowBytes * kHeight;

// ---------------------------------------------------------------------------
// Little-endian byte output, so the files are identical on any host.

void put16(std::vector<uint8_t> &out, unsigned v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

void put32(std::vector<uint8_t> &out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>((v >> (8 * i)) & 0xFF));
}

void putInfoHeader(std::vector<uint8_t> &out, int32_t width, int32_t height, unsigned bitCount,
                   uint32_t sizeImage, int32_t pelsPerMetre) {
    put32(out, 40);
    put32(out, static_cast<uint32_t>(width));
    put32(out, static_cast<uint32_t>(height));
    put16(out, 1);
    put16(out, bitCount);
    put32(out, 0);  // BI_RGB
    put32(out, sizeImage);
    put32(out, static_cast<uint32_t>(pelsPerMetre));
    put32(out, static_cast<uint32_t>(pelsPerMetre));
    put32(out, 0);
    put32(out, 0);
}

bool writeFile(const std::string &path, const std::vector<uint8_t> &data) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "draw_pictures: cannot create %s\n", path.c_str());
        return false;
    }
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    if (std::fclose(f) != 0) ok = false;
    if (!ok) std::fprintf(stderr, "draw_pictures: cannot write %s\n", path.c_str());
    return ok;
}

// ---------------------------------------------------------------------------
// Canvas with anti-aliased shapes given by signed distance functions.

struct Canvas {
    std::vector<Rgb> px;
    Canvas() : px(kWidth * kHeight, kBackground) {}
    Rgb &at(int x, int y) { return px[static_cast<size_t>(y) * kWidth + x]; }
    void set(int x, int y, Rgb c) {
        if (x >= 0 && x < kWidth && y >= 0 && y < kHeight) at(x, y) = c;
    }
};

struct Vec {
    double x, y;
};

Vec sub(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }

struct Shape {
    enum Kind { RoundBox, Polygon, Segment } kind;
    Vec centre;            // RoundBox
    Vec half;              // RoundBox
    double radius;         // RoundBox corner radius, Segment half width
    std::vector<Vec> pts;  // Polygon vertices, Segment end points

    double distance(Vec p) const {
        if (kind == RoundBox) {
            double qx = std::fabs(p.x - centre.x) - half.x + radius;
            double qy = std::fabs(p.y - centre.y) - half.y + radius;
            double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
            return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0) - radius;
        }
        if (kind == Segment) {
            Vec pa = sub(p, pts[0]), ba = sub(pts[1], pts[0]);
            double h = std::clamp(dot(pa, ba) / dot(ba, ba), 0.0, 1.0);
            Vec d = {pa.x - ba.x * h, pa.y - ba.y * h};
            return std::sqrt(dot(d, d)) - radius;
        }
        // Polygon: nearest edge distance, sign from the even-odd crossing rule.
        double best = dot(sub(p, pts[0]), sub(p, pts[0]));
        double sign = 1.0;
        size_t n = pts.size();
        for (size_t i = 0, j = n - 1; i < n; j = i, ++i) {
            Vec e = sub(pts[j], pts[i]);
            Vec w = sub(p, pts[i]);
            double t = std::clamp(dot(w, e) / dot(e, e), 0.0, 1.0);
            Vec b = {w.x - e.x * t, w.y - e.y * t};
            best = std::min(best, dot(b, b));
            bool c0 = p.y >= pts[i].y, c1 = p.y < pts[j].y, c2 = e.x * w.y > e.y * w.x;
            if ((c0 && c1 && c2) || (!c0 && !c1 && !c2)) sign = -sign;
        }
        return sign * std::sqrt(best);
    }
};

Shape roundBox(double x0, double y0, double x1, double y1, double r) {
    Shape s{Shape::RoundBox, {(x0 + x1) / 2, (y0 + y1) / 2}, {(x1 - x0) / 2, (y1 - y0) / 2}, r, {}};
    return s;
}

Shape polygon(std::vector<Vec> pts) { return Shape{Shape::Polygon, {0, 0}, {0, 0}, 0, std::move(pts)}; }

Shape segment(Vec a, Vec b, double halfWidth) {
    return Shape{Shape::Segment, {0, 0}, {0, 0}, halfWidth, {a, b}};
}

// Paints the shape with an inner outline of the given width; the inside is left
// untouched when hasFill is false, which is how hollow shapes are drawn.
void paint(Canvas &cv, const Shape &s, double outline, Rgb line, bool hasFill, Rgb fill) {
    const int kSub = 4;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            int inLine = 0, inFill = 0;
            for (int sy = 0; sy < kSub; ++sy) {
                for (int sx = 0; sx < kSub; ++sx) {
                    Vec p = {x + (sx + 0.5) / kSub, y + (sy + 0.5) / kSub};
                    double d = s.distance(p);
                    if (d > 0) continue;
                    if (d > -outline)
                        ++inLine;
                    else if (hasFill)
                        ++inFill;
                }
            }
            if (inLine == 0 && inFill == 0) continue;
            const double total = kSub * kSub;
            double a = inLine / total, f = inFill / total, keep = 1.0 - a - f;
            Rgb &c = cv.at(x, y);
            c.r = static_cast<int>(std::lround(c.r * keep + line.r * a + fill.r * f));
            c.g = static_cast<int>(std::lround(c.g * keep + line.g * a + fill.g * f));
            c.b = static_cast<int>(std::lround(c.b * keep + line.b * a + fill.b * f));
        }
    }
}

void fillShape(Canvas &cv, const Shape &s, Rgb c) { paint(cv, s, 1e9, c, false, c); }

// ---------------------------------------------------------------------------
// Small bitmap font: only the characters the pictures need.

struct Glyph {
    char ch;
    int width;
    uint8_t rows[7];  // bit (width-1) is the leftmost column
};

const Glyph kGlyphs[] = {
    {'P', 5, {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'C', 5, {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
    {'F', 5, {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', 5, {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}},
    {'A', 5, {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'l', 3, {0x06, 0x02, 0x02, 0x02, 0x02, 0x02, 0x07}},
    {'a', 5, {0x00, 0x00, 0x0E, 0x01, 0x0F, 0x11, 0x0F}},
    {'s', 5, {0x00, 0x00, 0x0F, 0x10, 0x0E, 0x01, 0x1E}},
    {'h', 5, {0x10, 0x10, 0x16, 0x19, 0x11, 0x11, 0x11}},
    {'0', 4, {0x06, 0x09, 0x09, 0x09, 0x09, 0x09, 0x06}},
    {'1', 4, {0x02, 0x06, 0x02, 0x02, 0x02, 0x02, 0x07}},
};

const Glyph *findGlyph(char ch) {
    for (const Glyph &g : kGlyphs)
        if (g.ch == ch) return &g;
    return nullptr;
}

int textWidth(const char *text, int scale) {
    int w = 0, n = 0;
    for (const char *p = text; *p; ++p, ++n) {
        const Glyph *g = findGlyph(*p);
        w += (g ? g->width : 3) * scale;
    }
    return n > 0 ? w + (n - 1) * scale : 0;
}

void drawText(Canvas &cv, int x, int y, const char *text, int scale, Rgb c) {
    for (const char *p = text; *p; ++p) {
        const Glyph *g = findGlyph(*p);
        int w = g ? g->width : 3;
        if (g) {
            for (int row = 0; row < 7; ++row)
                for (int col = 0; col < w; ++col)
                    if (g->rows[row] & (1u << (w - 1 - col)))
                        for (int dy = 0; dy < scale; ++dy)
                            for (int dx = 0; dx < scale; ++dx)
                                cv.set(x + col * scale + dx, y + row * scale + dy, c);
        }
        x += (w + 1) * scale;
    }
}

void drawTextCentred(Canvas &cv, int cx, int y, const char *text, int scale, Rgb c) {
    drawText(cv, cx - textWidth(text, scale) / 2, y, text, scale, c);
}

// ---------------------------------------------------------------------------
// Picture elements. cx is the horizontal centre of the element.

const int kLeftCentre = 33;
const int kRightCentre = 167;

void drawPc(Canvas &cv, int cx) {
    paint(cv, roundBox(cx - 15, 3, cx + 15, 45, 5), 2.0, kBlack, true, kWhite);
    drawTextCentred(cv, cx + 1, 17, "PC", 2, kBlack);
}

void drawFpga(Canvas &cv, int cx) {
    paint(cv, roundBox(cx - 28, 8, cx + 28, 40, 6), 2.0, kFpgaBlue, true, kWhite);
    drawTextCentred(cv, cx + 1, 17, "FPGA", 2, kBlack);
}

enum FlashKind { FlashPlain, FlashExternal, FlashInternal };

void drawFlash(Canvas &cv, int cx, FlashKind kind) {
    const int half = 17, top = 7, bottom = top + 2 * half;
    const int left = cx - half, right = cx + half;
    // Four pins on each side of the square body.
    for (int i = 0; i < 4; ++i) {
        int along = 3 + i * 8;  // pin start measured from the body corner
        fillShape(cv, roundBox(left - 4, top + along, left + 1, top + along + 4, 0), kBlack);
        fillShape(cv, roundBox(right - 1, top + along, right + 4, top + along + 4, 0), kBlack);
        fillShape(cv, roundBox(left + along, top - 4, left + along + 4, top + 1, 0), kBlack);
        fillShape(cv, roundBox(left + along, bottom - 1, left + along + 4, bottom + 4, 0), kBlack);
    }
    Rgb fill = kind == FlashExternal ? kXFlashPink : kind == FlashInternal ? kIFlashCyan : kBackground;
    paint(cv, roundBox(left, top, right, bottom, 1.5), 2.0, kFlashOlive, true, fill);
    if (kind == FlashPlain) {
        drawTextCentred(cv, cx, top + half - 3, "Flash", 1, kBlack);
        return;
    }
    // The large letter is drawn from strokes so it stays smooth at this size.
    const double lt = top + 4, lb = top + 20;
    if (kind == FlashExternal) {
        fillShape(cv, segment({cx - 6.0, lt}, {cx + 6.0, lb}, 1.7), kTextGrey);
        fillShape(cv, segment({cx + 6.0, lt}, {cx - 6.0, lb}, 1.7), kTextGrey);
    } else {
        fillShape(cv, roundBox(cx - 1.7, lt, cx + 1.7, lb, 0), kTextGrey);
        fillShape(cv, roundBox(cx - 5.5, lt, cx + 5.5, lt + 3, 0), kTextGrey);
        fillShape(cv, roundBox(cx - 5.5, lb - 3, cx + 5.5, lb, 0), kTextGrey);
    }
    drawTextCentred(cv, cx, top + 23, "Flash", 1, kBlack);
}

void drawFile(Canvas &cv, int cx) {
    const double x0 = cx - 18, x1 = cx + 18, y0 = 1, y1 = 47, fold = 9;
    paint(cv, polygon({{x0 + fold, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0 + fold}}), 1.5, kBlack, true,
          kWhite);
    paint(cv, polygon({{x0, y0 + fold}, {x0 + fold, y0 + fold}, {x0 + fold, y0}}), 1.5, kBlack, true, kFoldGrey);
    drawTextCentred(cv, cx + 1, 14, "101", 2, kTextGrey);
    drawTextCentred(cv, cx + 1, 30, "010", 2, kTextGrey);
}

void drawArrow(Canvas &cv) {
    const double tail = 68, neck = 112, tip = 132, mid = 24;
    paint(cv,
          polygon({{tail, mid - 6},
                   {neck, mid - 6},
                   {neck, mid - 15},
                   {tip, mid},
                   {neck, mid + 15},
                   {neck, mid + 6},
                   {tail, mid + 6}}),
          2.0, kArrowGreen, false, kArrowGreen);
}

std::vector<uint8_t> bmpFile(const Canvas &cv) {
    std::vector<uint8_t> out;
    const uint32_t offBits = 14 + 40;
    put16(out, 0x4D42);  // "BM"
    put32(out, offBits + kPixelBytes);
    put16(out, 0);
    put16(out, 0);
    put32(out, offBits);
    putInfoHeader(out, kWidth, kHeight, 24, kPixelBytes, 2833);
    for (int y = kHeight - 1; y >= 0; --y) {  // bottom-up
        for (int x = 0; x < kWidth; ++x) {
            const Rgb &c = cv.px[static_cast<size_t>(y) * kWidth + x];
            out.push_back(static_cast<uint8_t>(c.b));
            out.push_back(static_cast<uint8_t>(c.g));
            out.push_back(static_cast<uint8_t>(c.r));
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// Icon: a forklift truck composed on a 32 x 32 grid of colour roles.

enum Role { Clear, Outline, Body, BodyShade, Window, Mast, Hub, Fork };

struct Grid {
    Role cell[32][32];
    Grid() {
        for (auto &row : cell)
            for (Role &r : row) r = Clear;
    }
    void rect(int x0, int y0, int x1, int y1, Role r) {
        for (int y = std::max(y0, 0); y <= std::min(y1, 31); ++y)
            for (int x = std::max(x0, 0); x <= std::min(x1, 31); ++x) cell[y][x] = r;
    }
    void disc(double cx, double cy, double radius, Role r) {
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
                if (dx * dx + dy * dy <= radius * radius) cell[y][x] = r;
            }
    }
    // A filled rectangle with a one-pixel black border.
    void framed(int x0, int y0, int x1, int y1, Role inside) {
        rect(x0, y0, x1, y1, Outline);
        rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, inside);
    }
};

Grid forklift() {
    Grid g;
    g.framed(22, 0, 26, 28, Mast);                 // mast
    g.framed(5, 2, 18, 15, Body);                  // cab
    g.framed(8, 5, 16, 15, Window);                // cab window, open at the bottom
    g.framed(1, 14, 23, 24, Body);                 // chassis with counterweight at the back
    g.rect(2, 22, 22, 23, BodyShade);
    g.cell[14][1] = g.cell[24][1] = Clear;         // round off the rear corners
    g.rect(9, 14, 15, 14, Outline);                // sill under the window
    g.framed(26, 13, 28, 28, Fork);                // fork carriage
    g.framed(26, 26, 31, 28, Fork);                // fork tine
    g.rect(27, 27, 27, 27, Fork);
    for (double wx : {7.0, 18.0}) {                // wheels
        g.disc(wx, 26.0, 5.0, Outline);
        g.disc(wx, 26.0, 1.8, Hub);
    }
    return g;
}

// Standard 16-colour palette; the 256-colour palette starts with the same 16.
const Rgb kVga[16] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                      {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                      {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                      {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

std::vector<Rgb> palette256() {
    std::vector<Rgb> pal(kVga, kVga + 16);
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b) pal.push_back({r * 51, g * 51, b * 51});
    for (int i = 0; i < 24; ++i) {
        int v = 8 + i * 10;
        pal.push_back({v, v, v});
    }
    return pal;
}

int nearestIndex(const std::vector<Rgb> &pal, Rgb c) {
    int best = 0;
    long bestDist = -1;
    for (size_t i = 0; i < pal.size(); ++i) {
        long dr = pal[i].r - c.r, dg = pal[i].g - c.g, db = pal[i].b - c.b;
        long d = dr * dr + dg * dg + db * db;
        if (bestDist < 0 || d < bestDist) {
            bestDist = d;
            best = static_cast<int>(i);
        }
    }
    return best;
}

// Builds one icon image (header, palette, XOR bits, AND mask).
std::vector<uint8_t> iconImage(const Grid &g, const std::vector<Rgb> &pal, const Rgb roles[], unsigned bpp) {
    std::vector<uint8_t> out;
    const uint32_t xorBytes = 32 * 32 * bpp / 8, andBytes = 32 * 4;
    putInfoHeader(out, 32, 64, bpp, xorBytes + andBytes, 0);
    for (const Rgb &c : pal) {
        out.push_back(static_cast<uint8_t>(c.b));
        out.push_back(static_cast<uint8_t>(c.g));
        out.push_back(static_cast<uint8_t>(c.r));
        out.push_back(0);
    }
    for (int y = 31; y >= 0; --y) {
        std::vector<int> idx(32, 0);  // transparent pixels stay black in the XOR image
        for (int x = 0; x < 32; ++x)
            if (g.cell[y][x] != Clear) idx[x] = nearestIndex(pal, roles[g.cell[y][x]]);
        if (bpp == 4) {
            for (int x = 0; x < 32; x += 2) out.push_back(static_cast<uint8_t>((idx[x] << 4) | idx[x + 1]));
        } else {
            for (int x = 0; x < 32; ++x) out.push_back(static_cast<uint8_t>(idx[x]));
        }
    }
    for (int y = 31; y >= 0; --y) {
        for (int byte = 0; byte < 4; ++byte) {
            uint8_t bits = 0;
            for (int bit = 0; bit < 8; ++bit)
                if (g.cell[y][byte * 8 + bit] == Clear) bits |= static_cast<uint8_t>(0x80 >> bit);
            out.push_back(bits);
        }
    }
    return out;
}

std::vector<uint8_t> iconFile() {
    const Grid g = forklift();
    // Colour for each role, indexed by Role.
    const Rgb roles16[] = {kBlack,        kBlack, {255, 255, 0}, {128, 128, 0}, kWhite,
                           {128, 128, 128}, {192, 192, 192}, {128, 128, 128}};
    const Rgb roles256[] = {kBlack,       kBlack, {255, 153, 51}, {204, 102, 0}, kWhite,
                            {153, 153, 153}, {204, 204, 204}, {102, 102, 102}};
    std::vector<uint8_t> small = iconImage(g, std::vector<Rgb>(kVga, kVga + 16), roles16, 4);
    std::vector<uint8_t> large = iconImage(g, palette256(), roles256, 8);

    std::vector<uint8_t> out;
    put16(out, 0);
    put16(out, 1);  // icon
    put16(out, 2);
    uint32_t offset = 6 + 2 * 16;
    struct Entry {
        const std::vector<uint8_t> *data;
        unsigned colours, bpp;
    } entries[] = {{&small, 16, 4}, {&large, 0, 8}};
    for (const Entry &e : entries) {
        out.push_back(32);
        out.push_back(32);
        out.push_back(static_cast<uint8_t>(e.colours));
        out.push_back(0);
        put16(out, 1);
        put16(out, e.bpp);
        put32(out, static_cast<uint32_t>(e.data->size()));
        put32(out, offset);
        offset += static_cast<uint32_t>(e.data->size());
    }
    out.insert(out.end(), small.begin(), small.end());
    out.insert(out.end(), large.begin(), large.end());
    return out;
}

enum Element { Pc, Fpga, XFlash, IFlash, PlainFlash, File };

void drawElement(Canvas &cv, Element e, int cx) {
    switch (e) {
        case Pc: drawPc(cv, cx); break;
        case Fpga: drawFpga(cv, cx); break;
        case XFlash: drawFlash(cv, cx, FlashExternal); break;
        case IFlash: drawFlash(cv, cx, FlashInternal); break;
        case PlainFlash: drawFlash(cv, cx, FlashPlain); break;
        case File: drawFile(cv, cx); break;
    }
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_pictures OUTDIR\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    struct Picture {
        const char *name;
        Element source, target;
    } pictures[] = {
        {"pc_fpga.bmp", Pc, Fpga},           {"pc_xflash.bmp", Pc, XFlash},
        {"pc_iflash.bmp", Pc, IFlash},       {"flash_fpga.bmp", PlainFlash, Fpga},
        {"xflash_file.bmp", XFlash, File},   {"iflash_file.bmp", IFlash, File},
    };
    for (const Picture &p : pictures) {
        Canvas cv;
        drawElement(cv, p.source, kLeftCentre);
        drawArrow(cv);
        drawElement(cv, p.target, kRightCentre);
        if (!writeFile(dir + p.name, bmpFile(cv))) return 1;
    }
    if (!writeFile(dir + "loader.ico", iconFile())) return 1;
    return 0;
}
