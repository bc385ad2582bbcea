#include "tools/assets/resource_catalogues.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

struct CatalogueString {
    int number;
    const char* text;
};

const CatalogueString zaskStrings[] = {
    {150, "In animation"},
    {151, "In mirror"},
    {152, "Out animation"},
    {153, "Out mirror"},
    {154, "Random seed"},
    {180, "Light and look"},
    {181, "Shading"},
    {182, "None"},
    {183, "Flat"},
    {184, "Per pixel"},
    {185, "Light position"},
    {186, "Light colour"},
    {187, "Light intensity"},
    {188, "Thickness"},
    {189, "Preview"},
    {190, "Antialiasing"},
    {191, "Off"},
    {192, "4 x 4"},
    {253, "Rotation X"},
    {254, "Rotation Y"},
    {255, "Rotation Z"},
    {290, "Out duration"},
    {291, "In duration"},
    {292, "Thin, cut out"},
    {294, "Rotation"},
    {295, "Thick"},
    {296, "Normal"},
    {297, "Thin"},
    {298, "8 x 8"},
    {299, "Presets"},
    {310, "Zask"},
    {311, "Animation 1"},
    {312, "Animation 2"},
    {313, "Animation 3"},
    {314, "Animation 4"},
    {315, "Animation 5"},
    {316, "Animation 6"},
    {317, "Animation 7"},
    {318, "Animation 8"},
    {319, "Animation 9"},
    {320, "Animation 10"},
    {321, "Animation 11"},
    {997, "%"},
    {998, "frames"},
    {999, "seed"},
};

struct Picture {
    int32_t width, height;
    std::vector<uint8_t> pixels;  // coverage, blue, green, red
};

bool makeDirectories(const std::string& path, std::string& error)
{
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (!part.empty() && mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            error = part + ": cannot create the directory: " + std::strerror(errno);
            return false;
        }
        if (slash == std::string::npos)
            return true;
    }
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        error = path + ": cannot write: " + std::strerror(errno);
        return false;
    }
    return true;
}

bool writePicture(const std::string& path, const Picture& picture, std::string& error)
{
    std::vector<uint8_t> bytes;
    for (int32_t word : {picture.width, picture.height})
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(word) >> shift));
    bytes.insert(bytes.end(), picture.pixels.begin(), picture.pixels.end());
    return writeFile(path, bytes, error);
}

// An "A" of the 5 x 7 bitmap font in cells of 10.4 x 9.6 pixels, antialiased
// by 4 x 4 samples; red 230, green running top to bottom and blue left to
// right, so that a turned or mirrored texture shows in the preview.
Picture letterPicture()
{
    static const char* const glyph[7] = {".XXX.", "X...X", "X...X", "XXXXX", "X...X", "X...X", "X...X"};
    Picture p{64, 80, std::vector<uint8_t>(64 * 80 * 4)};
    const double cellWidth = 10.4, cellHeight = 9.6, left = 6.0, top = 6.4;
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            int inside = 0;
            for (int sy = 0; sy < 4; ++sy) {
                for (int sx = 0; sx < 4; ++sx) {
                    const double gx = (x + (sx + 0.5) / 4 - left) / cellWidth;
                    const double gy = (y + (sy + 0.5) / 4 - top) / cellHeight;
                    if (gx >= 0 && gx < 5 && gy >= 0 && gy < 7 && glyph[static_cast<int>(gy)][static_cast<int>(gx)] == 'X')
                        ++inside;
                }
            }
            const double coverage = inside / 16.0;
            uint8_t* px = p.pixels.data() + (static_cast<size_t>(y) * p.width + x) * 4;
            px[0] = static_cast<uint8_t>(std::lround(coverage * 255));
            px[1] = static_cast<uint8_t>(std::lround(coverage * (20 + 150.0 * x / (p.width - 1))));
            px[2] = static_cast<uint8_t>(std::lround(coverage * (70 + 110.0 * y / (p.height - 1))));
            px[3] = static_cast<uint8_t>(std::lround(coverage * 230));
        }
    }
    return p;
}

// A 16 x 16 icon: a framed square with marks drawn by `inside`.
template <typename Mark>
Picture icon(Mark inside)
{
    Picture p{16, 16, std::vector<uint8_t>(16 * 16 * 4)};
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            uint8_t* px = p.pixels.data() + (static_cast<size_t>(y) * 16 + x) * 4;
            const bool frame = x == 0 || y == 0 || x == 15 || y == 15;
            const uint8_t level = inside(x, y) ? 255 : frame ? 128 : 0;
            px[0] = level != 0 ? 255 : 0;
            px[1] = px[2] = px[3] = level;
        }
    }
    return p;
}

// Light positions 1 .. 8 as images 21 .. 28: a dot where the light stands
// (top centre, top right, right, ... clockwise); image 33, the centre dot,
// also stands for "not mirrored".
Picture positionIcon(int position)
{
    static const int dx[9] = {0, 0, 1, 1, 1, 0, -1, -1, -1};
    static const int dy[9] = {0, -1, -1, 0, 1, 1, 1, 0, -1};
    const int cx = 8 + dx[position] * 4, cy = 8 + dy[position] * 4;
    return icon([=](int x, int y) { return x >= cx - 2 && x < cx + 2 && y >= cy - 2 && y < cy + 2; });
}

}  // namespace

bool writeResourceCatalogues(const std::string& kthome, std::string& error)
{
    const std::string resources = kthome + "/programs/zask/resources";
    const std::string zaskImages = resources + "/zask_ops.images";
    const std::string toolkitImages = kthome + "/resources/toolkit.images";
    if (!makeDirectories(zaskImages, error) || !makeDirectories(toolkitImages, error))
        return false;

    std::string text;
    for (const CatalogueString& s : zaskStrings)
        text += std::to_string(s.number) + "\t" + s.text + "\n";
    if (!writeFile(resources + "/zask_ops.strings", std::vector<uint8_t>(text.begin(), text.end()), error))
        return false;
    if (!writePicture(zaskImages + "/998.rgba", letterPicture(), error))
        return false;

    for (int position = 1; position <= 8; ++position)
        if (!writePicture(toolkitImages + "/" + std::to_string(20 + position) + ".rgba", positionIcon(position), error))
            return false;
    const struct {
        int number;
        Picture picture;
    } mirrorIcons[] = {
        {33, positionIcon(0)},
        {30, icon([](int, int y) { return y >= 7 && y <= 8; })},                           // left-right
        {29, icon([](int x, int) { return x >= 7 && x <= 8; })},                           // top-bottom
        {551, icon([](int x, int y) { return (y >= 7 && y <= 8) || (x >= 7 && x <= 8); })},  // both
    };
    for (const auto& m : mirrorIcons)
        if (!writePicture(toolkitImages + "/" + std::to_string(m.number) + ".rgba", m.picture, error))
            return false;
    return true;
}
