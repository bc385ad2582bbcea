// The GTK 3 back end of the stand-in toolkit: every dialog is a real modal
// window of the requested size with its controls at their coordinates, and
// the plug-in's wait for a message runs the GTK main loop until the user
// does something. Requesters are GTK's file and colour choosers and a small
// load/save/delete dialog. An optional script carries out steps on these
// windows once they are drawn, for tests and demonstrations.
#include <gtk/gtk.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "standin/gui_control.h"
#include "standin/gui_internal.h"

namespace standin {

namespace {

// The preview key of the dialogs, a code from the toolkit's private range.
constexpr uint32_t previewKeyCode = 57360;
constexpr size_t queueCapacity = 10;
// A step waits this long after the one before, and for a redraw of its window.
constexpr gint64 stepPauseUs = 120 * 1000;
constexpr gint64 redrawPatienceUs = 1000 * 1000;

// ---------------------------------------------------------------- script steps

enum class StepKind { set, press, ok, cancel, close, closeKeep, file, palette, archive, snapshot, wait };

struct Step {
    StepKind kind = StepKind::ok;
    int line = 0;
    std::string text;
    int label = -1;
    int32_t value = 0;
    std::string argument;  // file path, snapshot path, archive answer
    bool cancel = false;
};

bool parseSteps(const std::string& source, std::deque<Step>& steps, std::string& error) {
    std::istringstream in(source);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string command;
        if (!(words >> command)) continue;
        std::string rest;
        std::getline(words, rest);
        rest.erase(0, rest.find_first_not_of(" \t"));
        rest.erase(rest.find_last_not_of(" \t\r") + 1);
        std::vector<std::string> args;
        for (std::istringstream split(rest); split >> rest;) args.push_back(rest);
        auto bad = [&](const std::string& what) {
            error = "line " + std::to_string(number) + ": " + what;
            return false;
        };
        Step s;
        s.line = number;
        s.text = command;
        for (const auto& a : args) s.text += " " + a;
        long long value = 0;
        if (command == "set") {
            if (args.size() != 2 || !parseScriptNumber(args[0], 0, 65535, value)) return bad("set takes a label number and a value");
            s.kind = StepKind::set;
            s.label = static_cast<int>(value);
            if (!parseScriptNumber(args[1], INT32_MIN, UINT32_MAX, value)) return bad("value '" + args[1] + "' is not a 32-bit number");
            s.value = static_cast<int32_t>(static_cast<uint32_t>(value));
        } else if (command == "press") {
            if (args.size() != 1 || !parseScriptNumber(args[0], 0, 65535, value)) return bad("press takes the button's label number");
            s.kind = StepKind::press;
            s.label = static_cast<int>(value);
        } else if (command == "ok" || command == "cancel" || command == "close" || command == "close-keep") {
            if (!args.empty()) return bad(command + " takes no arguments");
            s.kind = command == "ok" ? StepKind::ok : command == "cancel" ? StepKind::cancel
                     : command == "close" ? StepKind::close : StepKind::closeKeep;
        } else if (command == "file" || command == "snapshot") {
            const std::string path = line.substr(line.find(command) + command.size());
            s.argument = path.substr(std::min(path.size(), path.find_first_not_of(" \t")));
            s.argument.erase(s.argument.find_last_not_of(" \t\r") + 1);
            if (s.argument.empty()) return bad(command + " takes a path");
            s.kind = command == "file" ? StepKind::file : StepKind::snapshot;
            s.cancel = s.kind == StepKind::file && s.argument == "cancel";
        } else if (command == "palette") {
            if (args.size() != 1) return bad("palette takes a colour word, or cancel");
            s.kind = StepKind::palette;
            s.cancel = args[0] == "cancel";
            if (!s.cancel) {
                if (!parseScriptNumber(args[0], 0, UINT32_MAX, value)) return bad("colour '" + args[0] + "' is not a 32-bit word");
                s.value = static_cast<int32_t>(static_cast<uint32_t>(value));
            }
        } else if (command == "archive") {
            if (args.size() != 1) return bad("archive takes load, save, delete or cancel");
            s.kind = StepKind::archive;
            const std::string& w = args[0];
            if (w == "cancel") s.cancel = true;
            else if (w == "load") s.value = archiveActionLoad;
            else if (w == "save") s.value = archiveActionSave;
            else if (w == "delete") s.value = archiveActionDelete;
            else return bad("archive answer '" + w + "' is not load, save, delete or cancel");
        } else if (command == "wait") {
            if (args.size() != 1 || !parseScriptNumber(args[0], 0, 600000, value)) return bad("wait takes milliseconds");
            s.kind = StepKind::wait;
            s.value = static_cast<int32_t>(value);
        } else {
            return bad("unknown command '" + command +
                       "' (set, press, ok, cancel, close, close-keep, file, palette, archive, snapshot, wait)");
        }
        steps.push_back(s);
    }
    return true;
}

// ---------------------------------------------------------------- windows

enum class TopKind { dialog, file, palette, archive, clip };

// A window the user is working in, innermost last.
struct Top {
    TopKind kind = TopKind::dialog;
    GtkWidget* window = nullptr;
    GuiHandle request = 0;      // dialog
    uint32_t fileMode = 0;      // file
    std::string directory;      // file
    int response = GTK_RESPONSE_NONE;
    bool finished = false;
    gint64 lastDraw = 0, lastChange = 0;
};

struct Queued {
    GuiMessage message{};
    std::string said;
};

struct ControlView {
    GuiHandle request = 0, element = 0;
    ControlInfo info;
    ControlContent content;
    GtkWidget* widget = nullptr;
    GtkWidget* label = nullptr;
    GtkWidget* swatch = nullptr;  // palette button
    GtkWidget* scale = nullptr;   // slider: the scale and its value beside it
    GtkWidget* valueText = nullptr;
    bool quiet = false;           // set while the program changes the widget
};

struct PanelView {
    GuiHandle request = 0;
    PanelInfo info;
    GtkWidget* widget = nullptr;
    cairo_surface_t* surface = nullptr;  // image panels
};

struct DialogView {
    GuiHandle request = 0, ok = 0, cancel = 0;
    Top top;
    GtkWidget* fixed = nullptr;
    GtkWidget* okButton = nullptr;
    GtkWidget* cancelButton = nullptr;
    std::deque<Queued> queue;
    std::vector<GuiHandle> elements;
};

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The label with the shortcut letter underlined, as markup.
std::string labelMarkup(const std::string& label, uint32_t key) {
    size_t at = std::string::npos;
    if (key > 32 && key < 127) at = lower(label).find(static_cast<char>(std::tolower(static_cast<int>(key))));
    auto escape = [](const std::string& text) {
        gchar* e = g_markup_escape_text(text.c_str(), -1);
        std::string result(e);
        g_free(e);
        return result;
    };
    if (at == std::string::npos) return escape(label);
    return escape(label.substr(0, at)) + "<u>" + escape(label.substr(at, 1)) + "</u>" + escape(label.substr(at + 1));
}

std::string keyName(uint32_t key) {
    if (key == previewKeyCode) return "F5";
    if (key > 32 && key < 127) return std::string(1, static_cast<char>(key));
    return "";
}

class GtkView : public GuiView {
public:
    explicit GtkView(std::deque<Step> steps) : steps_(std::move(steps)) { measure(); }

    ~GtkView() override {
        for (auto& [handle, dialog] : dialogs_)
            if (dialog->top.window != nullptr) gtk_widget_destroy(dialog->top.window);
        for (auto& [handle, panel] : panels_)
            if (panel->surface != nullptr) cairo_surface_destroy(panel->surface);
        while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
    }

    // ------------------------------------------------------------ dialogs

    void requestCreated(GuiHandle request, GuiHandle ok, GuiHandle cancel, int width, int height,
                        const std::string& title) override {
        auto dialog = std::make_unique<DialogView>();
        DialogView* d = dialog.get();
        d->request = request, d->ok = ok, d->cancel = cancel;
        d->top.kind = TopKind::dialog;
        d->top.request = request;
        GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        d->top.window = window;
        gtk_window_set_title(GTK_WINDOW(window), title.c_str());
        gtk_window_set_modal(GTK_WINDOW(window), TRUE);
        gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
        gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
        if (Top* parent = innermost()) gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(parent->window));
        GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
        d->fixed = gtk_fixed_new();
        gtk_widget_set_size_request(d->fixed, width, height);
        gtk_box_pack_start(GTK_BOX(box), d->fixed, FALSE, FALSE, 0);
        GtkWidget* buttons = gtk_button_box_new(GTK_ORIENTATION_HORIZONTAL);
        gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons), GTK_BUTTONBOX_END);
        gtk_box_set_spacing(GTK_BOX(buttons), 8);
        g_object_set(buttons, "margin", 8, nullptr);
        d->cancelButton = gtk_button_new_with_label("Cancel");
        d->okButton = gtk_button_new_with_label("OK");
        gtk_container_add(GTK_CONTAINER(buttons), d->cancelButton);
        gtk_container_add(GTK_CONTAINER(buttons), d->okButton);
        gtk_box_pack_start(GTK_BOX(box), gtk_separator_new(GTK_ORIENTATION_HORIZONTAL), FALSE, FALSE, 0);
        gtk_box_pack_start(GTK_BOX(box), buttons, FALSE, FALSE, 0);
        gtk_container_add(GTK_CONTAINER(window), box);
        gtk_widget_set_can_default(d->okButton, TRUE);
        gtk_window_set_default(GTK_WINDOW(window), d->okButton);

        g_object_set_data(G_OBJECT(d->okButton), "zask-element", GUINT_TO_POINTER(ok));
        g_object_set_data(G_OBJECT(d->cancelButton), "zask-element", GUINT_TO_POINTER(cancel));
        g_signal_connect(d->okButton, "clicked", G_CALLBACK(onDialogButton), this);
        g_signal_connect(d->cancelButton, "clicked", G_CALLBACK(onDialogButton), this);
        g_object_set_data(G_OBJECT(window), "zask-request", GUINT_TO_POINTER(request));
        g_signal_connect(window, "delete-event", G_CALLBACK(onDelete), this);
        g_signal_connect(window, "key-press-event", G_CALLBACK(onKey), this);
        watchDraws(d->top);
        dialogs_[request] = std::move(dialog);
        gtk_widget_show_all(window);
    }

    void requestDeleted(GuiHandle request) override {
        auto it = dialogs_.find(request);
        if (it == dialogs_.end()) return;
        for (GuiHandle e : it->second->elements) controls_.erase(e);
        for (auto p = panels_.begin(); p != panels_.end();) {
            if (p->second->request != request) {
                ++p;
                continue;
            }
            if (p->second->surface != nullptr) cairo_surface_destroy(p->second->surface);
            p = panels_.erase(p);
        }
        gtk_widget_destroy(it->second->top.window);
        dialogs_.erase(it);
        while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
    }

    void panelCreated(GuiHandle request, const PanelInfo& info) override {
        DialogView* d = dialog(request);
        if (d == nullptr) return;
        auto panel = std::make_unique<PanelView>();
        panel->request = request;
        panel->info = info;
        if (info.flags & panelFlagsImage) {
            panel->surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, std::max(info.width, 1), std::max(info.height, 1));
            cairo_t* cr = cairo_create(panel->surface);
            cairo_set_source_rgb(cr, 0.13, 0.13, 0.13);
            cairo_paint(cr);
            cairo_destroy(cr);
            panel->widget = gtk_drawing_area_new();
            g_signal_connect(panel->widget, "draw", G_CALLBACK(onDrawPanel), panel.get());
        } else {
            panel->widget = gtk_frame_new(nullptr);
        }
        gtk_widget_set_size_request(panel->widget, info.width, info.height);
        gtk_fixed_put(GTK_FIXED(d->fixed), panel->widget, info.x, info.y);
        gtk_widget_show(panel->widget);
        panels_[info.handle] = std::move(panel);
    }

    void panelRemoved(GuiHandle handle) override {
        auto it = panels_.find(handle);
        if (it == panels_.end()) return;
        gtk_widget_hide(it->second->widget);
    }

    void controlAdded(GuiHandle request, GuiHandle element, const ControlInfo& info,
                      const ControlContent& content) override {
        DialogView* d = dialog(request);
        if (d == nullptr) return;
        auto control = std::make_unique<ControlView>();
        ControlView* c = control.get();
        c->request = request, c->element = element, c->info = info, c->content = content;
        c->quiet = true;
        if (info.kind == "popup") c->widget = makePopup(*c);
        else if (info.kind == "slider") c->widget = makeSlider(*c);
        else if (info.kind == "palette") c->widget = makePalette(*c);
        else c->widget = gtk_button_new_with_label(content.label.c_str());
        if (info.kind == "button") g_signal_connect(c->widget, "clicked", G_CALLBACK(onButton), c);
        c->quiet = false;
        gtk_widget_set_size_request(c->widget, info.width, info.height);
        gtk_fixed_put(GTK_FIXED(d->fixed), c->widget, info.x, info.y);
        if (info.kind != "button") {
            // The label stands left of the control, inside its group.
            int left = 8;
            for (auto& [handle, panel] : panels_) {
                const PanelInfo& p = panel->info;
                if (panel->request == request && (p.flags & panelFlagsGroup) && info.x >= p.x && info.x < p.x + p.width &&
                    info.y >= p.y && info.y < p.y + p.height)
                    left = p.x + 8;
            }
            c->label = gtk_label_new(nullptr);
            gtk_label_set_xalign(GTK_LABEL(c->label), 0.0f);
            gtk_label_set_ellipsize(GTK_LABEL(c->label), PANGO_ELLIPSIZE_END);
            gtk_widget_set_size_request(c->label, std::max(info.x - 8 - left, 1), info.height);
            gtk_fixed_put(GTK_FIXED(d->fixed), c->label, left, info.y);
            gtk_widget_show(c->label);
        }
        gtk_widget_show_all(c->widget);
        d->elements.push_back(element);
        controls_[element] = std::move(control);
        refresh(*c);
    }

    void controlChanged(GuiHandle element, const ControlInfo& info) override {
        auto it = controls_.find(element);
        if (it == controls_.end()) return;
        it->second->info = info;
        refresh(*it->second);
    }

    void pictureWritten(const PanelInfo& info) override {
        auto it = panels_.find(info.handle);
        if (it == panels_.end() || it->second->surface == nullptr) return;
        PanelView& panel = *it->second;
        cairo_surface_flush(panel.surface);
        uint8_t* data = cairo_image_surface_get_data(panel.surface);
        const int stride = cairo_image_surface_get_stride(panel.surface);
        for (int y = 0; y < info.height; ++y) {
            for (int x = 0; x < info.width; ++x) {
                const size_t at = static_cast<size_t>(y) * info.width + x;
                if (!info.written[at]) continue;
                const std::vector<uint8_t> rgb = hostPixelsToRgb(info.pixels.data() + at * 4, 1);
                uint32_t* out = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride) + x;
                *out = static_cast<uint32_t>(rgb[0]) << 16 | static_cast<uint32_t>(rgb[1]) << 8 | rgb[2];
            }
        }
        cairo_surface_mark_dirty(panel.surface);
        gtk_widget_queue_draw(panel.widget);
        if (DialogView* d = dialog(panel.request)) d->top.lastChange = g_get_monotonic_time();
    }

    void receive(GuiHandle request, int32_t timeout, GuiMessage& message, std::string& said) override {
        DialogView* d = dialog(request);
        message = GuiMessage{};
        if (d == nullptr) {
            message.kind = guiMessageCloseCancel;
            said = "close";
            return;
        }
        bool expired = false;
        guint timer = 0;
        if (timeout >= 0)
            timer = g_timeout_add(static_cast<guint>(timeout), onExpired, &expired);
        runUntil(d->top, [&] { return !d->queue.empty() || expired; });
        if (timer != 0 && !expired) g_source_remove(timer);
        if (d->queue.empty()) {
            said = "nothing (timeout)";
            return;
        }
        message = d->queue.front().message;
        said = d->queue.front().said;
        d->queue.pop_front();
    }

    // ------------------------------------------------------------ requesters

    bool chooseFile(const std::string& directory, uint32_t mode, size_t limit, std::string& path) override {
        const bool save = mode == fileRequestSave;
        const char* title = save ? "Save file" : mode == fileRequestDelete ? "Delete file" : "Load file";
        const char* accept = save ? "_Save" : mode == fileRequestDelete ? "_Delete" : "_Load";
        GtkWidget* chooser = gtk_file_chooser_dialog_new(title, parentWindow(),
                                                         save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN,
                                                         "_Cancel", GTK_RESPONSE_CANCEL, accept, GTK_RESPONSE_ACCEPT, nullptr);
        gtk_file_chooser_set_local_only(GTK_FILE_CHOOSER(chooser), TRUE);
        if (!directory.empty()) {
            gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), directory.c_str());
            gtk_file_chooser_add_shortcut_folder(GTK_FILE_CHOOSER(chooser), directory.c_str(), nullptr);
        }
        if (save) gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(chooser), TRUE);
        Top top;
        top.kind = TopKind::file;
        top.fileMode = mode;
        top.directory = directory;
        // The chooser would otherwise open at a size it remembers or at most of the screen.
        g_signal_connect(chooser, "map", G_CALLBACK(onChooserMapped), nullptr);
        const int response = runRequester(top, chooser);
        bool chosen = false;
        if (response == GTK_RESPONSE_ACCEPT) {
            if (gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))) {
                path = name;
                g_free(name);
                chosen = true;
                if (path.size() + 1 > limit) beep();
            }
        }
        gtk_widget_destroy(chooser);
        return chosen;
    }

    bool chooseColour(uint32_t& colour) override {
        GtkWidget* chooser = gtk_color_chooser_dialog_new("Colour", parentWindow());
        gtk_color_chooser_set_use_alpha(GTK_COLOR_CHOOSER(chooser), FALSE);
        const Rgb rgb = colourWordToRgb(colour);
        const GdkRGBA start{rgb.r / 255.0, rgb.g / 255.0, rgb.b / 255.0, 1.0};
        gtk_color_chooser_set_rgba(GTK_COLOR_CHOOSER(chooser), &start);
        Top top;
        top.kind = TopKind::palette;
        const int response = runRequester(top, chooser);
        bool chosen = false;
        if (response == GTK_RESPONSE_OK) {
            GdkRGBA picked;
            gtk_color_chooser_get_rgba(GTK_COLOR_CHOOSER(chooser), &picked);
            auto byte = [](double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); };
            colour = rgbToColourWord(Rgb{byte(picked.red), byte(picked.green), byte(picked.blue)},
                                     static_cast<uint8_t>(colour & 0xff));
            chosen = true;
        }
        gtk_widget_destroy(chooser);
        return chosen;
    }

    bool chooseArchiveAction(const std::string& title, int32_t& action) override {
        GtkWidget* chooser = gtk_dialog_new_with_buttons(title.c_str(), parentWindow(), GTK_DIALOG_MODAL, "_Cancel",
                                                         GTK_RESPONSE_CANCEL, "_Delete", archiveActionDelete, "_Save",
                                                         archiveActionSave, "_Load", archiveActionLoad, nullptr);
        GtkWidget* text = gtk_label_new(nullptr);
        const std::string markup = "<b>" + labelMarkup(title, 0) + "</b>\nLoad, save or delete a file?";
        gtk_label_set_markup(GTK_LABEL(text), markup.c_str());
        g_object_set(text, "margin", 16, nullptr);
        gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(chooser))), text);
        gtk_dialog_set_default_response(GTK_DIALOG(chooser), archiveActionLoad);
        Top top;
        top.kind = TopKind::archive;
        const int response = runRequester(top, chooser);
        gtk_widget_destroy(chooser);
        if (response != archiveActionLoad && response != archiveActionSave && response != archiveActionDelete) return false;
        action = response;
        return true;
    }

    void beep() override { gdk_display_beep(gdk_display_get_default()); }

    std::vector<std::string> problems() override { return problems_; }
    int32_t fontHeight() override { return fontHeight_; }
    int32_t addHeight() override { return addHeight_; }

    // ------------------------------------------------------------ the host's clip window

    void showClip(const std::string& title, int width, int height, const std::vector<std::vector<uint8_t>>& frames,
                  int framesPerSecond) {
        Clip clip;
        clip.width = width, clip.height = height;
        // Large clips are shown at half size or less so that the window fits the screen.
        clip.scale = 1.0;
        while (width * clip.scale > 960 || height * clip.scale > 720) clip.scale /= 2;
        for (const auto& rgb : frames) {
            cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
            uint8_t* data = cairo_image_surface_get_data(s);
            const int stride = cairo_image_surface_get_stride(s);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const uint8_t* p = rgb.data() + (static_cast<size_t>(y) * width + x) * 3;
                    reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride)[x] =
                        static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
                }
            cairo_surface_mark_dirty(s);
            clip.frames.push_back(s);
        }
        GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_title(GTK_WINDOW(window), title.c_str());
        gtk_window_set_modal(GTK_WINDOW(window), TRUE);
        gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
        if (GtkWindow* parent = parentWindow()) gtk_window_set_transient_for(GTK_WINDOW(window), parent);
        gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER_ON_PARENT);
        GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
        clip.area = gtk_drawing_area_new();
        gtk_widget_set_size_request(clip.area, static_cast<int>(width * clip.scale), static_cast<int>(height * clip.scale));
        g_signal_connect(clip.area, "draw", G_CALLBACK(onDrawClip), &clip);
        clip.counter = gtk_label_new("");
        GtkWidget* close = gtk_button_new_with_label("Close");
        GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 8);
        g_object_set(row, "margin", 8, nullptr);
        gtk_box_pack_start(GTK_BOX(row), clip.counter, FALSE, FALSE, 0);
        gtk_box_pack_end(GTK_BOX(row), close, FALSE, FALSE, 0);
        gtk_box_pack_start(GTK_BOX(box), clip.area, FALSE, FALSE, 0);
        gtk_box_pack_start(GTK_BOX(box), row, FALSE, FALSE, 0);
        gtk_container_add(GTK_CONTAINER(window), box);
        Top top;
        top.kind = TopKind::clip;
        top.window = window;
        g_signal_connect(close, "clicked", G_CALLBACK(onClipClose), &top);
        g_signal_connect(window, "delete-event", G_CALLBACK(onClipDelete), &top);
        g_signal_connect(window, "key-press-event", G_CALLBACK(onClipKey), &top);
        gtk_widget_grab_focus(close);
        watchDraws(top);
        showFrame(clip, 0);
        const guint timer = frames.size() > 1
                                ? g_timeout_add(static_cast<guint>(1000 / std::max(framesPerSecond, 1)), onClipTick, &clip)
                                : 0;
        gtk_widget_show_all(window);
        runUntil(top, [&] { return top.finished; });
        if (timer != 0) g_source_remove(timer);
        gtk_widget_destroy(window);
        for (cairo_surface_t* s : clip.frames) cairo_surface_destroy(s);
        while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
    }

private:
    struct Clip {
        int width = 0, height = 0;
        double scale = 1.0;
        std::vector<cairo_surface_t*> frames;
        size_t shown = 0;
        GtkWidget* area = nullptr;
        GtkWidget* counter = nullptr;
    };

    std::map<GuiHandle, std::unique_ptr<DialogView>> dialogs_;
    std::map<GuiHandle, std::unique_ptr<ControlView>> controls_;
    std::map<GuiHandle, std::unique_ptr<PanelView>> panels_;
    std::vector<Top*> tops_;  // the windows being waited on, innermost last
    std::deque<Step> steps_;
    gint64 lastStep_ = 0, notBefore_ = 0;
    std::vector<std::string> problems_;
    int32_t fontHeight_ = 14, addHeight_ = 6;

    DialogView* dialog(GuiHandle request) {
        auto it = dialogs_.find(request);
        return it == dialogs_.end() ? nullptr : it->second.get();
    }

    Top* innermost() {
        if (!tops_.empty()) return tops_.back();
        for (auto& [handle, d] : dialogs_) return &d->top;
        return nullptr;
    }

    GtkWindow* parentWindow() {
        Top* top = innermost();
        return top != nullptr && top->window != nullptr ? GTK_WINDOW(top->window) : nullptr;
    }

    // The font's line height and the extra height that makes the tallest
    // control fit its row.
    void measure() {
        GtkCssProvider* css = gtk_css_provider_new();
        gtk_css_provider_load_from_data(css,
                                        "button { padding: 2px 8px; min-height: 0; }\n"
                                        "combobox button { padding: 1px 6px; }\n"
                                        "scale { padding: 2px 6px; }\n"
                                        "label.zask-value { font-size: smaller; }\n",
                                        -1, nullptr);
        gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                                  GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
        g_object_unref(css);
        GtkWidget* window = gtk_offscreen_window_new();
        GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
        GtkWidget* label = gtk_label_new("Xg");
        GtkWidget* button = gtk_button_new_with_label("Xg");
        GtkWidget* combo = gtk_combo_box_text_new();
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo), "Xg");
        gtk_combo_box_set_active(GTK_COMBO_BOX(combo), 0);
        GtkWidget* scale = gtk_scale_new_with_range(GTK_ORIENTATION_HORIZONTAL, 0, 300, 1);
        gtk_scale_set_value_pos(GTK_SCALE(scale), GTK_POS_RIGHT);
        for (GtkWidget* w : {label, button, combo, scale}) gtk_box_pack_start(GTK_BOX(box), w, FALSE, FALSE, 0);
        gtk_container_add(GTK_CONTAINER(window), box);
        gtk_widget_show_all(window);
        int tallest = 0;
        for (GtkWidget* w : {button, combo, scale}) {
            int minimum = 0, natural = 0;
            gtk_widget_get_preferred_height(w, &minimum, &natural);
            tallest = std::max(tallest, minimum);
        }
        PangoContext* context = gtk_widget_get_pango_context(label);
        PangoFontMetrics* metrics = pango_context_get_metrics(context, pango_context_get_font_description(context), nullptr);
        fontHeight_ = PANGO_PIXELS(pango_font_metrics_get_ascent(metrics) + pango_font_metrics_get_descent(metrics));
        pango_font_metrics_unref(metrics);
        // Image items are 16 pixels high; a row keeps 4 pixels for itself.
        tallest = std::max(tallest, 16 + 8);
        addHeight_ = std::max(0, tallest - 4 - fontHeight_);
        gtk_widget_destroy(window);
    }

    void watchDraws(Top& top) {
        top.lastChange = g_get_monotonic_time();
        g_signal_connect_after(top.window, "draw", G_CALLBACK(onDrawTop), &top);
    }

    GtkWidget* makePopup(ControlView& c) {
        GtkListStore* store = gtk_list_store_new(2, GDK_TYPE_PIXBUF, G_TYPE_STRING);
        for (size_t i = 0; i < c.content.itemTexts.size(); ++i) {
            GtkTreeIter row;
            gtk_list_store_append(store, &row);
            GdkPixbuf* picture = pictureOf(c.content.itemPictures[i]);
            gtk_list_store_set(store, &row, 0, picture, 1, c.content.itemTexts[i].c_str(), -1);
            if (picture != nullptr) g_object_unref(picture);
        }
        GtkWidget* combo = gtk_combo_box_new_with_model(GTK_TREE_MODEL(store));
        g_object_unref(store);
        GtkCellRenderer* image = gtk_cell_renderer_pixbuf_new();
        GtkCellRenderer* text = gtk_cell_renderer_text_new();
        gtk_cell_layout_pack_start(GTK_CELL_LAYOUT(combo), image, FALSE);
        gtk_cell_layout_pack_start(GTK_CELL_LAYOUT(combo), text, TRUE);
        gtk_cell_layout_set_attributes(GTK_CELL_LAYOUT(combo), image, "pixbuf", 0, nullptr);
        gtk_cell_layout_set_attributes(GTK_CELL_LAYOUT(combo), text, "text", 1, nullptr);
        const auto count = static_cast<uint32_t>(c.content.itemTexts.size());
        gtk_combo_box_set_active(GTK_COMBO_BOX(combo),
                                 static_cast<uint32_t>(c.info.value) < count ? c.info.value : -1);
        g_signal_connect(combo, "changed", G_CALLBACK(onPopup), &c);
        return combo;
    }

    // Catalogue pictures hold alpha, blue, green, red; shown over black, as
    // the toolkit's icons are drawn for a dark ground.
    static GdkPixbuf* pictureOf(const ControlContent::Picture& p) {
        if (p.width <= 0 || p.height <= 0) return nullptr;
        GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, p.width, p.height);
        uint8_t* out = gdk_pixbuf_get_pixels(pixbuf);
        const int stride = gdk_pixbuf_get_rowstride(pixbuf);
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                const uint8_t* in = p.pixels.data() + (static_cast<size_t>(y) * p.width + x) * 4;
                uint8_t* o = out + static_cast<size_t>(y) * stride + x * 3;
                for (int k = 0; k < 3; ++k) o[k] = static_cast<uint8_t>(in[3 - k] * in[0] / 255);
            }
        return pixbuf;
    }

    // The value stands in a label of its own beside the scale, as wide as the
    // widest of the ends' texts, so the knob never covers it.
    GtkWidget* makeSlider(ControlView& c) {
        const double low = std::min(c.info.minimum, c.info.maximum), high = std::max(c.info.minimum, c.info.maximum);
        c.scale = gtk_scale_new_with_range(GTK_ORIENTATION_HORIZONTAL, low, high == low ? low + 1 : high, 1);
        gtk_scale_set_draw_value(GTK_SCALE(c.scale), FALSE);
        gtk_range_set_round_digits(GTK_RANGE(c.scale), 0);
        gtk_range_set_value(GTK_RANGE(c.scale), c.info.value);
        c.valueText = gtk_label_new(nullptr);
        gtk_label_set_xalign(GTK_LABEL(c.valueText), 1.0f);
        gtk_style_context_add_class(gtk_widget_get_style_context(c.valueText), "zask-value");
        int chars = 1;
        for (double end : {low, high})
            chars = std::max(chars, static_cast<int>(g_utf8_strlen(valueText(c, end).c_str(), -1)));
        gtk_label_set_width_chars(GTK_LABEL(c.valueText), chars);
        gtk_label_set_text(GTK_LABEL(c.valueText), valueText(c, c.info.value).c_str());
        g_signal_connect(c.scale, "value-changed", G_CALLBACK(onSlider), &c);
        GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
        gtk_box_pack_start(GTK_BOX(box), c.scale, TRUE, TRUE, 0);
        gtk_box_pack_start(GTK_BOX(box), c.valueText, FALSE, FALSE, 0);
        return box;
    }

    static std::string valueText(const ControlView& c, double value) {
        const auto v = static_cast<int32_t>(std::lround(value));
        if (c.content.format != nullptr) {
            char text[96] = "";
            c.content.format(v, text, sizeof text);
            return text;
        }
        return std::to_string(v);
    }

    GtkWidget* makePalette(ControlView& c) {
        GtkWidget* button = gtk_button_new();
        c.swatch = gtk_drawing_area_new();
        g_signal_connect(c.swatch, "draw", G_CALLBACK(onDrawSwatch), &c);
        gtk_container_add(GTK_CONTAINER(button), c.swatch);
        g_signal_connect(button, "clicked", G_CALLBACK(onButton), &c);
        return button;
    }

    void refresh(ControlView& c) {
        gtk_widget_set_sensitive(c.widget, c.info.enabled);
        if (c.label != nullptr) {
            gtk_widget_set_sensitive(c.label, c.info.enabled);
            gtk_label_set_markup(GTK_LABEL(c.label), labelMarkup(c.content.label, c.info.key).c_str());
        }
        const std::string key = keyName(c.info.key);
        const std::string tip = c.content.secondText.empty() || c.info.kind != "slider" ? "" : c.content.secondText;
        const std::string tooltip = key.empty() ? tip : (tip.empty() ? "" : tip + "; ") + "key " + key;
        gtk_widget_set_tooltip_text(c.widget, tooltip.empty() ? nullptr : tooltip.c_str());
        if (c.swatch != nullptr) gtk_widget_queue_draw(c.swatch);
        if (DialogView* d = dialog(c.request)) d->top.lastChange = g_get_monotonic_time();
    }

    void post(GuiHandle request, uint16_t kind, GuiHandle element, int32_t value, const std::string& said) {
        DialogView* d = dialog(request);
        if (d == nullptr) return;
        // A dragged slider says only where it stands now.
        if (kind == guiMessageOperated && !d->queue.empty() && d->queue.back().message.kind == guiMessageOperated &&
            d->queue.back().message.element == element && element != d->ok && element != d->cancel) {
            d->queue.back().message.value = value;
            d->queue.back().said = said;
            return;
        }
        if (d->queue.size() >= queueCapacity) {
            beep();
            return;
        }
        Queued q;
        q.message.kind = kind;
        q.message.element = element;
        q.message.value = value;
        q.said = said;
        d->queue.push_back(q);
    }

    // Runs the main loop until `done`; while a script has steps left, carries
    // out the next one once the innermost window has drawn itself since its
    // last change and the loop has nothing else to do.
    void runUntil(Top& top, const std::function<bool()>& done) {
        tops_.push_back(&top);
        guint ticker = 0;
        while (!done()) {
            if (!steps_.empty() && ticker == 0) ticker = g_timeout_add(25, onTick, nullptr);
            if (!steps_.empty() && ready(top) && !gtk_events_pending()) {
                runStep(top);
                continue;
            }
            gtk_main_iteration_do(TRUE);
        }
        if (ticker != 0) g_source_remove(ticker);
        tops_.pop_back();
    }

    bool ready(const Top& top) const {
        const gint64 now = g_get_monotonic_time();
        if (top.lastDraw == 0 || now < notBefore_ || now - lastStep_ < stepPauseUs) return false;
        return top.lastDraw >= top.lastChange || now - top.lastChange > redrawPatienceUs;
    }

    int runRequester(Top& top, GtkWidget* chooser) {
        top.window = chooser;
        gtk_window_set_position(GTK_WINDOW(chooser), GTK_WIN_POS_CENTER_ON_PARENT);
        g_signal_connect(chooser, "response", G_CALLBACK(onResponse), &top);
        watchDraws(top);
        gtk_widget_show_all(chooser);
        runUntil(top, [&] { return top.finished; });
        return top.response;
    }

    void problem(const Step& s, const std::string& what) {
        problems_.push_back("script line " + std::to_string(s.line) + ": " + what);
    }

    ControlView* controlLabelled(GuiHandle request, int label) {
        DialogView* d = dialog(request);
        if (d == nullptr) return nullptr;
        for (GuiHandle e : d->elements) {
            ControlView& c = *controls_[e];
            if (c.info.label == label) return &c;
        }
        return nullptr;
    }

    void runStep(Top& top) {
        Step s = steps_.front();
        steps_.pop_front();
        lastStep_ = g_get_monotonic_time();
        top.lastChange = lastStep_;
        const char* where = top.kind == TopKind::dialog ? "dialog" : top.kind == TopKind::file ? "file requester"
                            : top.kind == TopKind::palette ? "palette requester" : top.kind == TopKind::archive
                            ? "archive requester" : "preview window";
        auto wrong = [&] { problem(s, std::string("'") + s.text + "' does not fit the " + where + " on top"); };
        switch (s.kind) {
        case StepKind::wait: notBefore_ = lastStep_ + static_cast<gint64>(s.value) * 1000; return;
        case StepKind::snapshot: snapshot(top, s); return;
        case StepKind::close:
            if (top.kind == TopKind::dialog) post(top.request, guiMessageCloseCancel, 0, 0, "close");
            else if (top.kind == TopKind::clip) top.finished = true;
            else gtk_dialog_response(GTK_DIALOG(top.window), GTK_RESPONSE_DELETE_EVENT);
            return;
        default: break;
        }
        if (top.kind == TopKind::dialog) {
            DialogView* d = dialog(top.request);
            switch (s.kind) {
            case StepKind::ok: gtk_button_clicked(GTK_BUTTON(d->okButton)); return;
            case StepKind::cancel: gtk_button_clicked(GTK_BUTTON(d->cancelButton)); return;
            case StepKind::closeKeep: post(top.request, guiMessageCloseKeep, 0, 0, "close-keep"); return;
            case StepKind::set:
            case StepKind::press: {
                ControlView* c = controlLabelled(top.request, s.label);
                if (c == nullptr) return problem(s, "the dialog has no control labelled " + std::to_string(s.label));
                if (!gtk_widget_is_sensitive(c->widget))
                    return problem(s, "the control labelled " + std::to_string(s.label) + " is disabled");
                if (s.kind == StepKind::press || c->info.kind == "button" || c->info.kind == "palette") {
                    if (s.kind == StepKind::set || !GTK_IS_BUTTON(c->widget))
                        return problem(s, "the control labelled " + std::to_string(s.label) + " is not a button");
                    gtk_button_clicked(GTK_BUTTON(c->widget));
                } else if (c->info.kind == "popup") {
                    if (s.value < 0 || static_cast<size_t>(s.value) >= c->content.itemTexts.size())
                        return problem(s, "the popup labelled " + std::to_string(s.label) + " has no item " +
                                              std::to_string(s.value));
                    if (gtk_combo_box_get_active(GTK_COMBO_BOX(c->widget)) == s.value)
                        post(c->request, guiMessageOperated, c->element, s.value, s.text);
                    gtk_combo_box_set_active(GTK_COMBO_BOX(c->widget), s.value);
                } else {
                    GtkAdjustment* a = gtk_range_get_adjustment(GTK_RANGE(c->scale));
                    if (s.value < gtk_adjustment_get_lower(a) || s.value > gtk_adjustment_get_upper(a))
                        return problem(s, "the slider labelled " + std::to_string(s.label) + " does not reach " +
                                              std::to_string(s.value));
                    if (std::lround(gtk_range_get_value(GTK_RANGE(c->scale))) == s.value)
                        post(c->request, guiMessageOperated, c->element, s.value, s.text);
                    gtk_range_set_value(GTK_RANGE(c->scale), s.value);
                }
                return;
            }
            default: return wrong();
            }
        }
        if (top.kind == TopKind::file && s.kind == StepKind::file) return answerFile(top, s);
        if (top.kind == TopKind::palette && s.kind == StepKind::palette) {
            if (s.cancel) return gtk_dialog_response(GTK_DIALOG(top.window), GTK_RESPONSE_CANCEL);
            const Rgb rgb = colourWordToRgb(static_cast<uint32_t>(s.value));
            const GdkRGBA colour{rgb.r / 255.0, rgb.g / 255.0, rgb.b / 255.0, 1.0};
            gtk_color_chooser_set_rgba(GTK_COLOR_CHOOSER(top.window), &colour);
            return gtk_dialog_response(GTK_DIALOG(top.window), GTK_RESPONSE_OK);
        }
        if (top.kind == TopKind::archive && s.kind == StepKind::archive)
            return gtk_dialog_response(GTK_DIALOG(top.window), s.cancel ? GTK_RESPONSE_CANCEL : s.value);
        if (top.kind == TopKind::clip && (s.kind == StepKind::ok || s.kind == StepKind::cancel)) {
            top.finished = true;
            return;
        }
        wrong();
    }

    // Picks the file in the chooser as a user would: the name typed for a
    // save, the file selected in its folder for a load or a delete.
    void answerFile(Top& top, const Step& s) {
        GtkFileChooser* chooser = GTK_FILE_CHOOSER(top.window);
        if (s.cancel) return gtk_dialog_response(GTK_DIALOG(top.window), GTK_RESPONSE_CANCEL);
        const std::string path = s.argument.find('/') == std::string::npos ? top.directory + s.argument : s.argument;
        if (top.fileMode == fileRequestSave) {
            const size_t slash = path.find_last_of('/');
            gtk_file_chooser_set_current_folder(chooser, path.substr(0, slash + 1).c_str());
            gtk_file_chooser_set_current_name(chooser, path.substr(slash + 1).c_str());
        } else {
            gtk_file_chooser_select_filename(chooser, path.c_str());
            // The folder is read in the background; the selection follows.
            const gint64 until = g_get_monotonic_time() + 5 * G_USEC_PER_SEC;
            gchar* chosen = nullptr;
            while ((chosen = gtk_file_chooser_get_filename(chooser)) == nullptr || path != chosen) {
                g_free(chosen);
                chosen = nullptr;
                if (g_get_monotonic_time() > until) break;
                if (!gtk_main_iteration_do(FALSE)) g_usleep(10000);
                gtk_file_chooser_select_filename(chooser, path.c_str());
            }
            const bool found = chosen != nullptr;
            g_free(chosen);
            if (!found) {
                problem(s, "the file requester shows no file " + path);
                return gtk_dialog_response(GTK_DIALOG(top.window), GTK_RESPONSE_CANCEL);
            }
        }
        GtkWidget* accept = gtk_dialog_get_widget_for_response(GTK_DIALOG(top.window), GTK_RESPONSE_ACCEPT);
        gtk_button_clicked(GTK_BUTTON(accept));
    }

    // A picture of the window as the X server has it.
    void snapshot(Top& top, const Step& s) {
        GdkWindow* window = gtk_widget_get_window(top.window);
        if (window == nullptr) return problem(s, "the window on top is not shown");
        gdk_display_sync(gdk_display_get_default());
        const int width = gdk_window_get_width(window), height = gdk_window_get_height(window);
        GdkPixbuf* picture = gdk_pixbuf_get_from_window(window, 0, 0, width, height);
        GError* error = nullptr;
        if (picture == nullptr) return problem(s, "the window could not be read back");
        if (!gdk_pixbuf_save(picture, s.argument.c_str(), "png", &error, nullptr)) {
            problem(s, s.argument + ": " + (error != nullptr ? error->message : "cannot write"));
            if (error != nullptr) g_error_free(error);
        }
        g_object_unref(picture);
    }

    void showFrame(Clip& clip, size_t index) {
        clip.shown = index;
        const std::string text = "frame " + std::to_string(index + 1) + " of " + std::to_string(clip.frames.size());
        gtk_label_set_text(GTK_LABEL(clip.counter), text.c_str());
        gtk_widget_queue_draw(clip.area);
    }

    // ------------------------------------------------------------ signal handlers

    static GtkView* self(gpointer data) { return static_cast<GtkView*>(data); }

    static void onDialogButton(GtkWidget* button, gpointer data) {
        GtkView* v = self(data);
        const auto element = static_cast<GuiHandle>(GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(button), "zask-element")));
        for (auto& [handle, d] : v->dialogs_)
            if (d->ok == element || d->cancel == element)
                v->post(handle, guiMessageOperated, element, 0, d->ok == element ? "ok" : "cancel");
    }

    static gboolean onDelete(GtkWidget* window, GdkEvent*, gpointer data) {
        const auto request = static_cast<GuiHandle>(GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(window), "zask-request")));
        self(data)->post(request, guiMessageCloseCancel, 0, 0, "close");
        return TRUE;  // the plug-in deletes the request itself
    }

    static gboolean onKey(GtkWidget* window, GdkEventKey* event, gpointer data) {
        GtkView* v = self(data);
        const auto request = static_cast<GuiHandle>(GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(window), "zask-request")));
        DialogView* d = v->dialog(request);
        if (d == nullptr || (event->state & (GDK_CONTROL_MASK | GDK_SUPER_MASK))) return FALSE;
        if (event->keyval == GDK_KEY_Escape) {
            v->post(request, guiMessageCloseCancel, 0, 0, "close");
            return TRUE;
        }
        const uint32_t key = event->keyval == GDK_KEY_F5 ? previewKeyCode
                                                         : gdk_keyval_to_unicode(gdk_keyval_to_lower(event->keyval));
        if (key == 0) return FALSE;
        for (GuiHandle e : d->elements) {
            ControlView& c = *v->controls_[e];
            if (c.info.key != key) continue;
            if (!gtk_widget_is_sensitive(c.widget)) {
                v->beep();
                return TRUE;
            }
            // A button's key presses it and leaves the focus where it was, so
            // that Return still means OK.
            if (GTK_IS_BUTTON(c.widget)) {
                gtk_button_clicked(GTK_BUTTON(c.widget));
                return TRUE;
            }
            gtk_widget_grab_focus(c.scale != nullptr ? c.scale : c.widget);
            if (c.info.kind == "popup") gtk_combo_box_popup(GTK_COMBO_BOX(c.widget));
            return TRUE;
        }
        return FALSE;
    }

    static void onButton(GtkButton*, gpointer data) {
        auto* c = static_cast<ControlView*>(data);
        if (c->quiet) return;
        theView()->post(c->request, guiMessageOperated, c->element, 0, "press " + std::to_string(c->info.label));
    }

    static void onPopup(GtkComboBox* combo, gpointer data) {
        auto* c = static_cast<ControlView*>(data);
        const int index = gtk_combo_box_get_active(combo);
        if (c->quiet || index < 0) return;
        theView()->post(c->request, guiMessageOperated, c->element, index,
                        "set " + std::to_string(c->info.label) + " " + std::to_string(index));
    }

    static void onSlider(GtkRange* range, gpointer data) {
        auto* c = static_cast<ControlView*>(data);
        const auto value = static_cast<int32_t>(std::lround(gtk_range_get_value(range)));
        gtk_label_set_text(GTK_LABEL(c->valueText), valueText(*c, value).c_str());
        if (c->quiet) return;
        theView()->post(c->request, guiMessageOperated, c->element, value,
                        "set " + std::to_string(c->info.label) + " " + std::to_string(value));
    }

    static gboolean onDrawSwatch(GtkWidget* area, cairo_t* cr, gpointer data) {
        auto* c = static_cast<ControlView*>(data);
        const Rgb rgb = colourWordToRgb(static_cast<uint32_t>(c->info.value));
        const int width = gtk_widget_get_allocated_width(area), height = gtk_widget_get_allocated_height(area);
        cairo_rectangle(cr, 0.5, 0.5, width - 1, height - 1);
        cairo_set_source_rgb(cr, rgb.r / 255.0, rgb.g / 255.0, rgb.b / 255.0);
        cairo_fill_preserve(cr);
        cairo_set_source_rgba(cr, 0, 0, 0, c->info.enabled ? 0.6 : 0.25);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        if (!c->info.enabled) {  // greyed like the other disabled controls
            cairo_set_source_rgba(cr, 1, 1, 1, 0.6);
            cairo_paint(cr);
        }
        return TRUE;
    }

    static gboolean onDrawPanel(GtkWidget*, cairo_t* cr, gpointer data) {
        auto* panel = static_cast<PanelView*>(data);
        cairo_set_source_surface(cr, panel->surface, 0, 0);
        cairo_paint(cr);
        return TRUE;
    }

    static gboolean onDrawTop(GtkWidget*, cairo_t*, gpointer data) {
        static_cast<Top*>(data)->lastDraw = g_get_monotonic_time();
        return FALSE;
    }

    static void onResponse(GtkDialog*, gint response, gpointer data) {
        auto* top = static_cast<Top*>(data);
        top->response = response;
        top->finished = true;
    }

    static gboolean onExpired(gpointer data) {
        *static_cast<bool*>(data) = true;
        return G_SOURCE_REMOVE;
    }

    static gboolean onTick(gpointer) { return G_SOURCE_CONTINUE; }

    static void onChooserMapped(GtkWidget* chooser, gpointer) { gtk_window_resize(GTK_WINDOW(chooser), 720, 440); }

    static void onClipClose(GtkButton*, gpointer data) { static_cast<Top*>(data)->finished = true; }

    static gboolean onClipDelete(GtkWidget*, GdkEvent*, gpointer data) {
        static_cast<Top*>(data)->finished = true;
        return TRUE;
    }

    static gboolean onClipKey(GtkWidget*, GdkEventKey* event, gpointer data) {
        if (event->keyval != GDK_KEY_Escape) return FALSE;
        static_cast<Top*>(data)->finished = true;
        return TRUE;
    }

    static gboolean onClipTick(gpointer data) {
        auto* clip = static_cast<Clip*>(data);
        GtkView* v = theView();
        if (v != nullptr && !clip->frames.empty()) v->showFrame(*clip, (clip->shown + 1) % clip->frames.size());
        return G_SOURCE_CONTINUE;
    }

    static gboolean onDrawClip(GtkWidget*, cairo_t* cr, gpointer data) {
        auto* clip = static_cast<Clip*>(data);
        if (clip->frames.empty()) return TRUE;
        cairo_scale(cr, clip->scale, clip->scale);
        cairo_set_source_surface(cr, clip->frames[clip->shown], 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
        cairo_paint(cr);
        return TRUE;
    }

public:
    static GtkView* theView() { return dynamic_cast<GtkView*>(guiView()); }
};

}  // namespace

}  // namespace standin

// The module's entry points, found by the stand-in library with dlsym when a
// host asks for the GTK back end.
extern "C" {

__attribute__((visibility("default"))) bool zaskGtkStart(const std::string& scriptPath, std::string& error) {
    using namespace standin;
    std::deque<Step> steps;
    if (!scriptPath.empty()) {
        std::ifstream in(scriptPath);
        if (!in) {
            error = scriptPath + ": cannot open: " + std::strerror(errno);
            return false;
        }
        std::stringstream text;
        text << in.rdbuf();
        if (!parseSteps(text.str(), steps, error)) {
            error = scriptPath + ": " + error;
            return false;
        }
    }
    if (!gtk_init_check(nullptr, nullptr)) {
        const char* display = std::getenv("DISPLAY");
        error = std::string("cannot open the display for GTK (DISPLAY is ") +
                (display != nullptr ? std::string("'") + display + "'" : "not set") + ")";
        return false;
    }
    setGuiView(std::make_unique<GtkView>(std::move(steps)));
    return true;
}

__attribute__((visibility("default"))) bool zaskGtkShowClip(const std::string& title, int width, int height,
                                                            const std::vector<std::vector<uint8_t>>& rgbFrames,
                                                            int framesPerSecond) {
    standin::GtkView* view = standin::GtkView::theView();
    if (view == nullptr || width <= 0 || height <= 0) return false;
    view->showClip(title, width, height, rgbFrames, framesPerSecond);
    return true;
}

}  // extern "C"
