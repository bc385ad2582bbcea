// ktmerores: string and image catalogues read from the KTHOME tree, with
// images that the host program or a test can give instead.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <utility>

#include "standin/gui_control.h"
#include "standin/gui_internal.h"

struct ResourceCatalogue {
    std::string name;
    bool holdsImages = false;
    bool toolkit = false;
    int id = 0;
    std::string kthome;
    std::map<int32_t, std::unique_ptr<std::string>> strings;
    struct Image {
        ResourceImage record{};
        std::vector<uint8_t> pixels;
    };
    std::map<int32_t, std::unique_ptr<Image>> images;
};

namespace standin {

namespace {

struct OverrideImage {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> pixels;
};

struct Resources {
    std::set<ResourceCatalogue*> live;
    std::map<const char*, int> textNumbers;
    std::map<const void*, int> imageNumbers;
    std::map<std::pair<std::string, int32_t>, OverrideImage> overrides;
    ResourceCatalogue* toolkit = nullptr;
    int nextId = 1;
};

Resources& resources() {
    static Resources instance;
    return instance;
}

std::string kthomeValue() {
    const char* home = std::getenv("KTHOME");
    return home != nullptr ? home : "";
}

const char* const toolkitName = "toolkit";

ResourceCatalogue* newCatalogue(const char* name, bool images) {
    Resources& r = resources();
    auto* catalogue = new ResourceCatalogue();
    catalogue->name = name != nullptr ? name : "";
    catalogue->holdsImages = images;
    catalogue->id = r.nextId++;
    catalogue->kthome = kthomeValue();
    return catalogue;
}

void forgetCatalogue(ResourceCatalogue* catalogue) {
    Resources& r = resources();
    for (auto& [number, text] : catalogue->strings) r.textNumbers.erase(text->c_str());
    for (auto& [number, image] : catalogue->images) r.imageNumbers.erase(&image->record);
    r.live.erase(catalogue);
    delete catalogue;
}

// Reads "NUMBER<TAB>TEXT" lines; returns the number of strings, -1 when the file cannot be read.
int readStrings(ResourceCatalogue* catalogue, const std::string& path) {
    std::ifstream in(path);
    if (!in) return -1;
    Resources& r = resources();
    std::string line;
    int count = 0;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t tab = line.find('\t');
        if (line.empty() || line[0] == '#' || tab == std::string::npos) continue;
        char* end = nullptr;
        long number = std::strtol(line.c_str(), &end, 10);
        if (end != line.c_str() + tab) continue;
        auto text = std::make_unique<std::string>(line.substr(tab + 1));
        auto& slot = catalogue->strings[static_cast<int32_t>(number)];
        if (slot) r.textNumbers.erase(slot->c_str());
        r.textNumbers[text->c_str()] = static_cast<int>(number);
        slot = std::move(text);
        ++count;
    }
    return count;
}

std::string catalogueText(const ResourceCatalogue* catalogue) {
    return catalogue == nullptr ? "null" : "catalogue " + std::to_string(catalogue->id);
}

}  // namespace

std::string stringCataloguePath(const std::string& kthome, const std::string& name) {
    return kthome + "/programs/zask/resources/" + name + ".strings";
}

std::string imageCataloguePath(const std::string& kthome, const std::string& name, int32_t number) {
    return kthome + "/programs/zask/resources/" + name + ".images/" + std::to_string(number) + ".rgba";
}

std::string toolkitImagePath(const std::string& kthome, int32_t number) {
    return kthome + "/resources/toolkit.images/" + std::to_string(number) + ".rgba";
}

bool readRgbaFile(const std::string& path, int32_t& width, int32_t& height, std::vector<uint8_t>& pixels,
                  std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 8) {
        error = path + ": " + std::to_string(bytes.size()) + " bytes, too short for the width and height";
        return false;
    }
    auto word = [&](size_t at) {
        return static_cast<int32_t>(static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
                                    static_cast<uint32_t>(bytes[at + 2]) << 16 |
                                    static_cast<uint32_t>(bytes[at + 3]) << 24);
    };
    width = word(0);
    height = word(4);
    if (width < 0 || height < 0) {
        error = path + ": negative size " + std::to_string(width) + " x " + std::to_string(height);
        return false;
    }
    const uint64_t expected = 8 + static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4;
    if (bytes.size() != expected) {
        error = path + ": " + std::to_string(bytes.size()) + " bytes, a " + std::to_string(width) + " x " +
                std::to_string(height) + " picture takes " + std::to_string(expected);
        return false;
    }
    pixels.assign(bytes.begin() + 8, bytes.end());
    return true;
}

bool writeRgbaFile(const std::string& path, int32_t width, int32_t height, const std::vector<uint8_t>& pixels,
                   std::string& error) {
    if (width < 0 || height < 0 || pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 4) {
        error = path + ": pixels do not match the size";
        return false;
    }
    std::ofstream out(path, std::ios::binary);
    uint8_t head[8];
    for (int i = 0; i < 4; ++i) {
        head[i] = static_cast<uint8_t>(static_cast<uint32_t>(width) >> (8 * i));
        head[4 + i] = static_cast<uint8_t>(static_cast<uint32_t>(height) >> (8 * i));
    }
    out.write(reinterpret_cast<const char*>(head), 8);
    out.write(reinterpret_cast<const char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
    out.close();
    if (!out) {
        error = path + ": cannot write: " + std::strerror(errno);
        return false;
    }
    return true;
}

void setCatalogueImage(const std::string& catalogue, int32_t number, int32_t width, int32_t height,
                       std::vector<uint8_t> pixels) {
    resources().overrides[{catalogue, number}] = OverrideImage{width, height, std::move(pixels)};
}

std::string describeText(const char* text) {
    if (text == nullptr) return "null";
    int number = stringNumberOf(text);
    if (number >= 0) return "#" + std::to_string(number);
    return "\"" + std::string(text) + "\"";
}

int stringNumberOf(const char* text) {
    auto& numbers = resources().textNumbers;
    auto it = numbers.find(text);
    return it == numbers.end() ? -1 : it->second;
}

std::string describeImage(const void* image) {
    if (image == nullptr) return "null";
    auto& numbers = resources().imageNumbers;
    auto it = numbers.find(image);
    return it == numbers.end() ? "image ?" : "image " + std::to_string(it->second);
}

void resetResources() {
    Resources& r = resources();
    while (!r.live.empty()) forgetCatalogue(*r.live.begin());
    if (r.toolkit != nullptr) {
        r.live.insert(r.toolkit);
        forgetCatalogue(r.toolkit);
        r.toolkit = nullptr;
    }
    r.overrides.clear();
}

uint64_t openCatalogueCount() { return resources().live.size(); }

}  // namespace standin

using namespace standin;

extern "C" {

ResourceCatalogue* resLoadStrings(const char* name) {
    ResourceCatalogue* catalogue = newCatalogue(name, false);
    resources().live.insert(catalogue);
    const std::string path = stringCataloguePath(catalogue->kthome, catalogue->name);
    int count = catalogue->kthome.empty() ? -1 : readStrings(catalogue, path);
    traceGui("resLoadStrings name=\"" + catalogue->name + "\" -> " + catalogueText(catalogue) +
             (count >= 0 ? " (" + std::to_string(count) + " strings from " + path + ")"
                         : " (no catalogue file" + (catalogue->kthome.empty() ? std::string(": KTHOME unset") : " " + path) +
                               "; placeholder texts)"));
    return catalogue;
}

ResourceCatalogue* resLoadImages(const char* name) {
    ResourceCatalogue* catalogue = newCatalogue(name, true);
    resources().live.insert(catalogue);
    traceGui("resLoadImages name=\"" + catalogue->name + "\" -> " + catalogueText(catalogue));
    return catalogue;
}

void resFreeStrings(ResourceCatalogue* catalogue) {
    Resources& r = resources();
    if (catalogue == nullptr || r.live.count(catalogue) == 0 || catalogue->holdsImages) {
        traceGui("resFreeStrings " + std::string(catalogue == nullptr ? "null" : "unknown or image catalogue") +
                 " (error: not a loaded string catalogue)");
        return;
    }
    traceGui("resFreeStrings " + catalogueText(catalogue));
    forgetCatalogue(catalogue);
}

void resFreeImages(ResourceCatalogue* catalogue) {
    Resources& r = resources();
    if (catalogue == nullptr || r.live.count(catalogue) == 0 || !catalogue->holdsImages) {
        traceGui("resFreeImages " + std::string(catalogue == nullptr ? "null" : "unknown or string catalogue") +
                 " (error: not a loaded image catalogue)");
        return;
    }
    traceGui("resFreeImages " + catalogueText(catalogue));
    forgetCatalogue(catalogue);
}

const char* resGetString(ResourceCatalogue* catalogue, int32_t number) {
    Resources& r = resources();
    if (catalogue == nullptr || r.live.count(catalogue) == 0 || catalogue->holdsImages) {
        static const char empty[] = "";
        traceGui("resGetString " + catalogueText(catalogue) + " number=" + std::to_string(number) +
                 " -> \"\" (error: not a loaded string catalogue)");
        return empty;
    }
    auto& slot = catalogue->strings[number];
    if (!slot) {
        // Kept, so that the text still names its number in the trace.
        slot = std::make_unique<std::string>("[" + catalogue->name + " " + std::to_string(number) + "]");
        r.textNumbers[slot->c_str()] = number;
    }
    traceGui("resGetString " + catalogueText(catalogue) + " number=" + std::to_string(number) + " -> \"" + *slot +
             "\"");
    return slot->c_str();
}

ResourceImage* resGetImage(ResourceCatalogue* catalogue, int32_t number) {
    Resources& r = resources();
    const bool known = catalogue != nullptr && (r.live.count(catalogue) != 0 || catalogue == r.toolkit);
    if (!known || !catalogue->holdsImages) {
        traceGui("resGetImage " + catalogueText(catalogue) + " number=" + std::to_string(number) +
                 " -> null (error: not a loaded image catalogue)");
        return nullptr;
    }
    auto found = catalogue->images.find(number);
    if (found == catalogue->images.end()) {
        auto image = std::make_unique<ResourceCatalogue::Image>();
        std::string source, error;
        auto over = r.overrides.find({catalogue->name, number});
        bool ok = false;
        if (over != r.overrides.end()) {
            image->record.width = over->second.width;
            image->record.height = over->second.height;
            image->pixels = over->second.pixels;
            source = "given by the host";
            ok = true;
        } else if (!catalogue->kthome.empty()) {
            source = catalogue->toolkit ? toolkitImagePath(catalogue->kthome, number)
                                        : imageCataloguePath(catalogue->kthome, catalogue->name, number);
            ok = readRgbaFile(source, image->record.width, image->record.height, image->pixels, error);
        } else {
            error = "KTHOME unset";
        }
        if (!ok) {
            traceGui("resGetImage " + catalogueText(catalogue) + " number=" + std::to_string(number) + " -> null (" +
                     error + ")");
            return nullptr;
        }
        image->record.pixels = image->pixels.empty() ? nullptr : image->pixels.data();
        r.imageNumbers[&image->record] = number;
        found = catalogue->images.emplace(number, std::move(image)).first;
        traceGui("resGetImage " + catalogueText(catalogue) + " number=" + std::to_string(number) + " -> " +
                 std::to_string(found->second->record.width) + "x" + std::to_string(found->second->record.height) +
                 " (" + source + ")");
    } else {
        traceGui("resGetImage " + catalogueText(catalogue) + " number=" + std::to_string(number) + " -> " +
                 std::to_string(found->second->record.width) + "x" + std::to_string(found->second->record.height));
    }
    return &found->second->record;
}

ResourceCatalogue* mgGetGuiResource(void) {
    Resources& r = resources();
    if (r.toolkit == nullptr) {
        r.toolkit = newCatalogue(toolkitName, true);
        r.toolkit->toolkit = true;
    }
    traceGui("mgGetGuiResource -> " + catalogueText(r.toolkit));
    return r.toolkit;
}

}  // extern "C"
