// ktmerotitle: a title document built from JSON or from a tree in memory.
// Every character carries its own picture, so no font is involved.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>
#include <unordered_set>

#include "standin/image_registry.h"
#include "standin/json.h"
#include "standin/standin_control.h"

namespace {

using TitleChar = standin::TitleCharacter;

struct DocumentNode;
struct BoxNode;

struct LineNode {
    TitleLine record{};
    std::vector<TitleChar> chars;
    BoxNode* box = nullptr;
    size_t index = 0;
};

struct BoxNode {
    TitleBox record{};
    std::vector<std::unique_ptr<LineNode>> lines;
    TitlePage* page = nullptr;
    size_t index = 0;
};

}  // namespace

// The host's opaque page handle.
struct TitlePage {
    std::vector<std::unique_ptr<BoxNode>> boxes;
    DocumentNode* document = nullptr;
    size_t index = 0;
};

namespace {

struct DocumentNode {
    TitleDocument record{};
    std::vector<std::unique_ptr<TitlePage>> pages;
};

// Documents alive now; a handle that is not among them is refused.
std::unordered_set<const TitleDocument*>& liveDocuments() {
    static std::unordered_set<const TitleDocument*> documents;
    return documents;
}

DocumentNode* documentOf(const TitleDocument* title) {
    if (title == nullptr || liveDocuments().count(title) == 0) return nullptr;
    return static_cast<DocumentNode*>(title->hostData);
}

LineNode* lineOf(TitleLine* line) {
    if (line == nullptr) return nullptr;
    auto* node = static_cast<LineNode*>(line->hostData);
    return node != nullptr && &node->record == line ? node : nullptr;
}

BoxNode* boxOf(TitleBox* box) {
    if (box == nullptr) return nullptr;
    auto* node = static_cast<BoxNode*>(box->hostData);
    return node != nullptr && &node->record == box ? node : nullptr;
}

// ---------------------------------------------------------------- JSON to document

using standin::JsonValue;

class Builder {
public:
    std::string error;

    bool fail(const JsonValue& at, const std::string& path, const std::string& what) {
        error = "line " + std::to_string(at.line) + ", column " + std::to_string(at.column) + ": " +
                (path.empty() ? "" : path + ": ") + what;
        return false;
    }

    // The members allowed in an object; anything else is most likely a typo.
    bool checkObject(const JsonValue& value, const std::string& path,
                     std::initializer_list<const char*> allowed) {
        if (value.kind != JsonValue::Kind::object)
            return fail(value, path, std::string("expected an object, not ") + jsonKindName(value.kind));
        for (const JsonValue& member : value.members) {
            bool known = false;
            for (const char* a : allowed) known = known || member.name == a;
            if (!known) return fail(member, path, "unknown member \"" + member.name + "\"");
        }
        for (const char* a : allowed)
            if (value.member(a) == nullptr) return fail(value, path, std::string("missing member \"") + a + "\"");
        return true;
    }

    const JsonValue* array(const JsonValue& object, const char* key, const std::string& path) {
        const JsonValue* value = object.member(key);
        if (value->kind != JsonValue::Kind::array) {
            fail(*value, path, std::string("\"") + key + "\" must be an array, not " + jsonKindName(value->kind));
            return nullptr;
        }
        return value;
    }

    bool integer(const JsonValue& object, const char* key, const std::string& path, int64_t low,
                 int64_t high, int32_t& out) {
        const JsonValue* value = object.member(key);
        std::string range = std::to_string(low) + " to " + std::to_string(high);
        if (value->kind != JsonValue::Kind::number)
            return fail(*value, path, std::string("\"") + key + "\" must be an integer, not " + jsonKindName(value->kind));
        if (!value->isInteger || value->integer < low || value->integer > high)
            return fail(*value, path, std::string("\"") + key + "\" must be an integer from " + range);
        out = static_cast<int32_t>(value->integer);
        return true;
    }

    static int hexDigit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    bool character(const JsonValue& value, const std::string& path, TitleChar& out) {
        if (!checkObject(value, path, {"pen", "width", "height", "top", "pixels"})) return false;
        constexpr int64_t int32Low = std::numeric_limits<int32_t>::min();
        constexpr int64_t int32High = std::numeric_limits<int32_t>::max();
        // The host image keeps sizes in 16 bits.
        constexpr int64_t sizeHigh = std::numeric_limits<int16_t>::max();
        if (!integer(value, "pen", path, int32Low, int32High, out.pen) ||
            !integer(value, "width", path, 0, sizeHigh, out.width) ||
            !integer(value, "height", path, 0, sizeHigh, out.height) ||
            !integer(value, "top", path, int32Low, int32High, out.top))
            return false;
        const JsonValue* pixels = value.member("pixels");
        if (pixels->kind != JsonValue::Kind::string)
            return fail(*pixels, path, std::string("\"pixels\" must be a string, not ") + jsonKindName(pixels->kind));
        size_t expected = static_cast<size_t>(out.width) * static_cast<size_t>(out.height) * 8;
        if (pixels->text.size() != expected)
            return fail(*pixels, path, "\"pixels\" has " + std::to_string(pixels->text.size()) +
                                           " hex digits, width " + std::to_string(out.width) + " x height " +
                                           std::to_string(out.height) + " needs " + std::to_string(expected));
        out.pixels.resize(expected / 2);
        for (size_t i = 0; i < out.pixels.size(); ++i) {
            int high = hexDigit(pixels->text[2 * i]);
            int low = hexDigit(pixels->text[2 * i + 1]);
            if (high < 0 || low < 0)
                return fail(*pixels, path, "\"pixels\" has a character that is not a hex digit at offset " +
                                               std::to_string(high < 0 ? 2 * i : 2 * i + 1));
            out.pixels[i] = static_cast<uint8_t>(high * 16 + low);
        }
        return true;
    }

    bool line(const JsonValue& value, const std::string& path, LineNode& out) {
        if (!checkObject(value, path, {"chars"})) return false;
        const JsonValue* chars = array(value, "chars", path);
        if (chars == nullptr) return false;
        if (chars->items.size() > std::numeric_limits<uint16_t>::max())
            return fail(*chars, path, "a line holds at most 65535 characters");
        out.chars.resize(chars->items.size());
        for (size_t i = 0; i < chars->items.size(); ++i)
            if (!character(chars->items[i], path + ".chars[" + std::to_string(i) + "]", out.chars[i])) return false;
        out.record.charCount = static_cast<uint16_t>(out.chars.size());
        out.record.hostData = &out;
        return true;
    }

    bool box(const JsonValue& value, const std::string& path, BoxNode& out) {
        if (!checkObject(value, path, {"x", "y", "lines"})) return false;
        constexpr int64_t low = std::numeric_limits<int32_t>::min();
        constexpr int64_t high = std::numeric_limits<int32_t>::max();
        if (!integer(value, "x", path, low, high, out.record.left) ||
            !integer(value, "y", path, low, high, out.record.top))
            return false;
        const JsonValue* lines = array(value, "lines", path);
        if (lines == nullptr) return false;
        for (size_t i = 0; i < lines->items.size(); ++i) {
            auto node = std::make_unique<LineNode>();
            node->box = &out;
            node->index = i;
            if (!line(lines->items[i], path + ".lines[" + std::to_string(i) + "]", *node)) return false;
            out.lines.push_back(std::move(node));
        }
        out.record.hostData = &out;
        return true;
    }

    bool page(const JsonValue& value, const std::string& path, TitlePage& out) {
        if (!checkObject(value, path, {"boxes"})) return false;
        const JsonValue* boxes = array(value, "boxes", path);
        if (boxes == nullptr) return false;
        for (size_t i = 0; i < boxes->items.size(); ++i) {
            auto node = std::make_unique<BoxNode>();
            node->page = &out;
            node->index = i;
            if (!box(boxes->items[i], path + ".boxes[" + std::to_string(i) + "]", *node)) return false;
            out.boxes.push_back(std::move(node));
        }
        return true;
    }

    bool document(const JsonValue& value, DocumentNode& out) {
        if (!checkObject(value, "", {"pages"})) return false;
        const JsonValue* pages = array(value, "pages", "");
        if (pages == nullptr) return false;
        for (size_t i = 0; i < pages->items.size(); ++i) {
            auto node = std::make_unique<TitlePage>();
            node->document = &out;
            node->index = i;
            if (!page(pages->items[i], "pages[" + std::to_string(i) + "]", *node)) return false;
            out.pages.push_back(std::move(node));
        }
        out.record.pageCount = static_cast<uint32_t>(out.pages.size());
        out.record.hostData = &out;
        return true;
    }
};

// ---------------------------------------------------------------- tree to document

bool buildFromSpec(const standin::TitleSpec& spec, DocumentNode& out, std::string& error) {
    constexpr int32_t sizeHigh = std::numeric_limits<int16_t>::max();
    for (size_t p = 0; p < spec.pages.size(); ++p) {
        auto page = std::make_unique<TitlePage>();
        page->document = &out;
        page->index = p;
        const auto& boxes = spec.pages[p].boxes;
        for (size_t b = 0; b < boxes.size(); ++b) {
            auto box = std::make_unique<BoxNode>();
            box->page = page.get();
            box->index = b;
            box->record.left = boxes[b].x;
            box->record.top = boxes[b].y;
            box->record.hostData = box.get();
            const auto& lines = boxes[b].lines;
            for (size_t l = 0; l < lines.size(); ++l) {
                std::string path = "pages[" + std::to_string(p) + "].boxes[" + std::to_string(b) + "].lines[" +
                                   std::to_string(l) + "]";
                if (lines[l].chars.size() > std::numeric_limits<uint16_t>::max()) {
                    error = path + ": a line holds at most 65535 characters";
                    return false;
                }
                for (size_t c = 0; c < lines[l].chars.size(); ++c) {
                    const TitleChar& ch = lines[l].chars[c];
                    std::string where = path + ".chars[" + std::to_string(c) + "]: ";
                    if (ch.width < 0 || ch.width > sizeHigh || ch.height < 0 || ch.height > sizeHigh) {
                        error = where + "picture size " + std::to_string(ch.width) + "x" + std::to_string(ch.height) +
                                " outside 0 to 32767";
                        return false;
                    }
                    size_t expected = static_cast<size_t>(ch.width) * static_cast<size_t>(ch.height) * 4;
                    if (ch.pixels.size() != expected) {
                        error = where + std::to_string(ch.pixels.size()) + " picture bytes, the size needs " +
                                std::to_string(expected);
                        return false;
                    }
                }
                auto line = std::make_unique<LineNode>();
                line->box = box.get();
                line->index = l;
                line->chars = lines[l].chars;
                line->record.charCount = static_cast<uint16_t>(line->chars.size());
                line->record.hostData = line.get();
                box->lines.push_back(std::move(line));
            }
            page->boxes.push_back(std::move(box));
        }
        out.pages.push_back(std::move(page));
    }
    out.record.pageCount = static_cast<uint32_t>(out.pages.size());
    out.record.hostData = &out;
    return true;
}

}  // namespace

namespace standin {

TitleDocument* buildTitle(const TitleSpec& spec, std::string& error) {
    auto document = std::make_unique<DocumentNode>();
    if (!buildFromSpec(spec, *document, error)) return nullptr;
    TitleDocument* title = &document.release()->record;
    liveDocuments().insert(title);
    return title;
}

TitleDocument* parseTitle(std::string_view json, std::string& error) {
    JsonValue root;
    if (!parseJson(json, root, error)) return nullptr;
    auto document = std::make_unique<DocumentNode>();
    Builder builder;
    if (!builder.document(root, *document)) {
        error = builder.error;
        return nullptr;
    }
    TitleDocument* title = &document.release()->record;
    liveDocuments().insert(title);
    return title;
}

TitleDocument* loadTitleFile(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open: " + std::strerror(errno);
        return nullptr;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        error = path + ": cannot read: " + std::strerror(errno);
        return nullptr;
    }
    std::string reason;
    TitleDocument* title = parseTitle(text.str(), reason);
    if (title == nullptr) error = path + ": " + reason;
    return title;
}

void freeTitle(TitleDocument* title) {
    DocumentNode* document = documentOf(title);
    if (document == nullptr) return;
    liveDocuments().erase(title);
    delete document;
}

}  // namespace standin

using standin::ImageKind;

extern "C" {

TitlePage* mtNextPage(TitleDocument* title, TitlePage* page) {
    DocumentNode* document = documentOf(title);
    if (document == nullptr) return nullptr;
    size_t next = 0;
    if (page != nullptr) {
        if (page->document != document || page->index >= document->pages.size() ||
            document->pages[page->index].get() != page)
            return nullptr;
        next = page->index + 1;
    }
    return next < document->pages.size() ? document->pages[next].get() : nullptr;
}

TitleBox* mtNextBox(TitlePage* page, TitleBox* box) {
    if (page == nullptr) return nullptr;
    size_t next = 0;
    if (box != nullptr) {
        BoxNode* node = boxOf(box);
        if (node == nullptr || node->page != page) return nullptr;
        next = node->index + 1;
    }
    return next < page->boxes.size() ? &page->boxes[next]->record : nullptr;
}

TitleLine* mtNextLine(TitleBox* box, TitleLine* line) {
    BoxNode* boxNode = boxOf(box);
    if (boxNode == nullptr) return nullptr;
    size_t next = 0;
    if (line != nullptr) {
        LineNode* node = lineOf(line);
        if (node == nullptr || node->box != boxNode) return nullptr;
        next = node->index + 1;
    }
    return next < boxNode->lines.size() ? &boxNode->lines[next]->record : nullptr;
}

int32_t mtBoundingBox(TitleLine* line, void*, int32_t, int32_t) {
    if (standin::hostCallFails(standin::HostCall::boundingBox)) return -1;
    return lineOf(line) != nullptr ? 0 : -1;
}

int32_t mtPenPosition(TitleLine* line, int32_t* x, int32_t index) {
    if (standin::hostCallFails(standin::HostCall::penPosition)) return -1;
    LineNode* node = lineOf(line);
    if (node == nullptr || x == nullptr || index < 0 || static_cast<size_t>(index) >= node->chars.size()) return -1;
    *x = node->chars[index].pen;
    return 0;
}

HostImage* mtCreateLineImage(TitleLine* line, int32_t index, int32_t, int32_t) {
    if (standin::hostCallFails(standin::HostCall::createLineImage)) return nullptr;
    LineNode* node = lineOf(line);
    if (node == nullptr || index < 0 || static_cast<size_t>(index) >= node->chars.size()) return nullptr;
    const TitleChar& c = node->chars[index];
    HostImage* image = standin::createImage(c.width, c.height, ImageKind::lineImage);
    if (image == nullptr) return nullptr;
    if (!c.pixels.empty()) std::memcpy(image->pixels, c.pixels.data(), c.pixels.size());
    image->top = c.top;
    return image;
}

void mtFreeLineImage(HostImage* image) { standin::releaseImage(image, ImageKind::lineImage, "mtFreeLineImage"); }

}  // extern "C"
