#include "tools/host/contact_sheet.h"

#include <algorithm>
#include <cctype>

namespace zask {

namespace {

// 5x7 glyphs, one string of 7 rows of 5 bits each.
struct Glyph {
    char c;
    const char* rows[7];
};

const Glyph font[] = {
    {'0', {"01110", "10001", "10011", "10101", "11001", "10001", "01110"}},
    {'1', {"00100", "01100", "00100", "00100", "00100", "00100", "01110"}},
    {'2', {"01110", "10001", "00001", "00010", "00100", "01000", "11111"}},
    {'3', {"11110", "00001", "00001", "01110", "00001", "00001", "11110"}},
    {'4', {"00010", "00110", "01010", "10010", "11111", "00010", "00010"}},
    {'5', {"11111", "10000", "11110", "00001", "00001", "10001", "01110"}},
    {'6', {"00110", "01000", "10000", "11110", "10001", "10001", "01110"}},
    {'7', {"11111", "00001", "00010", "00100", "01000", "01000", "01000"}},
    {'8', {"01110", "10001", "10001", "01110", "10001", "10001", "01110"}},
    {'9', {"01110", "10001", "10001", "01111", "00001", "00010", "01100"}},
    {'A', {"01110", "10001", "10001", "11111", "10001", "10001", "10001"}},
    {'F', {"11111", "10000", "10000", "11110", "10000", "10000", "10000"}},
    {'K', {"10001", "10010", "10100", "11000", "10100", "10010", "10001"}},
    {'S', {"01111", "10000", "10000", "01110", "00001", "00001", "11110"}},
    {'Z', {"11111", "00001", "00010", "00100", "01000", "10000", "11111"}},
    {'-', {"00000", "00000", "00000", "11111", "00000", "00000", "00000"}},
    {'#', {"01010", "01010", "11111", "01010", "11111", "01010", "01010"}},
};

const Glyph* glyphOf(char c) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const auto& g : font)
        if (g.c == c) return &g;
    return nullptr;
}

void fillRect(RgbPicture& p, int x0, int y0, int w, int h, Rgb c) {
    for (int y = std::max(0, y0); y < std::min(p.height, y0 + h); ++y)
        for (int x = std::max(0, x0); x < std::min(p.width, x0 + w); ++x) {
            uint8_t* q = p.at(x, y);
            q[0] = c.r;
            q[1] = c.g;
            q[2] = c.b;
        }
}

// Box-filtered reduction to the given width, keeping the aspect.
RgbPicture scaleDown(const RgbPicture& in, int width) {
    width = std::min(width, in.width);
    const int height = std::max(1, static_cast<int>(static_cast<long long>(in.height) * width / in.width));
    RgbPicture out(width, height);
    for (int y = 0; y < height; ++y) {
        const int y0 = y * in.height / height, y1 = std::max(y0 + 1, (y + 1) * in.height / height);
        for (int x = 0; x < width; ++x) {
            const int x0 = x * in.width / width, x1 = std::max(x0 + 1, (x + 1) * in.width / width);
            unsigned sum[3] = {0, 0, 0}, n = 0;
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx, ++n)
                    for (int k = 0; k < 3; ++k) sum[k] += in.at(sx, sy)[k];
            for (int k = 0; k < 3; ++k) out.at(x, y)[k] = static_cast<uint8_t>(sum[k] / n);
        }
    }
    return out;
}

int labelWidth(const std::string& text, int scale) { return static_cast<int>(text.size()) * 6 * scale - scale; }

}  // namespace

std::vector<long long> sampleFrames(long long first, long long last, int count) {
    std::vector<long long> frames;
    const long long n = last - first;
    if (n <= 0 || count <= 0) return frames;
    if (n <= count) {
        for (long long k = first; k < last; ++k) frames.push_back(k);
        return frames;
    }
    for (int i = 0; i < count; ++i) frames.push_back(first + (n - 1) * i / (count - 1));
    return frames;
}

void drawLabel(RgbPicture& picture, int x, int y, const std::string& text, int scale, Rgb colour) {
    for (char c : text) {
        if (const Glyph* g = glyphOf(c))
            for (int r = 0; r < 7; ++r)
                for (int b = 0; b < 5; ++b)
                    if (g->rows[r][b] == '1') fillRect(picture, x + b * scale, y + r * scale, scale, scale, colour);
        x += 6 * scale;
    }
}

RgbPicture composeSheet(const std::vector<SheetRow>& rows, int thumbnailWidth) {
    const Rgb paper{24, 24, 28}, ink{235, 235, 235}, dim{150, 150, 160};
    const int gap = 8, scale = 2, labelHeight = 7 * scale + 6;
    int columns = 0, thumbW = 0, thumbH = 0, rowLabelWidth = 0;
    std::vector<std::vector<RgbPicture>> thumbs;
    for (const auto& row : rows) {
        columns = std::max(columns, static_cast<int>(row.cells.size()));
        rowLabelWidth = std::max(rowLabelWidth, row.label.empty() ? 0 : labelWidth(row.label, 3) + gap);
        thumbs.emplace_back();
        for (const auto& cell : row.cells) {
            thumbs.back().push_back(scaleDown(cell.picture, thumbnailWidth));
            thumbW = std::max(thumbW, thumbs.back().back().width);
            thumbH = std::max(thumbH, thumbs.back().back().height);
        }
    }
    const int cellH = thumbH + labelHeight;
    RgbPicture sheet(gap + rowLabelWidth + columns * (thumbW + gap), gap + static_cast<int>(rows.size()) * (cellH + gap),
                     paper);
    for (size_t r = 0; r < rows.size(); ++r) {
        const int y = gap + static_cast<int>(r) * (cellH + gap);
        if (!rows[r].label.empty()) drawLabel(sheet, gap, y + (thumbH - 21) / 2, rows[r].label, 3, ink);
        for (size_t c = 0; c < thumbs[r].size(); ++c) {
            const int x = gap + rowLabelWidth + static_cast<int>(c) * (thumbW + gap);
            const RgbPicture& t = thumbs[r][c];
            for (int ty = 0; ty < t.height; ++ty)
                std::copy(t.at(0, ty), t.at(0, ty) + t.width * 3, sheet.at(x, y + ty));
            drawLabel(sheet, x, y + thumbH + 4, std::to_string(rows[r].cells[c].frame), scale, dim);
        }
    }
    return sheet;
}

}  // namespace zask
