#include "display.h"

#include <algorithm>
#include <sstream>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "datafile.h"

int window_scale_for_desktop(int desktop_w, int desktop_h)
{
    // Whole-number arithmetic for 85 %: 320N <= 0.85 w is 320N * 100 <= 85 w.
    const int by_width = desktop_w * 85 / (FRAME_W * 100);
    const int by_height = desktop_h * 85 / (FRAME_H * 100);
    return std::max(1, std::min(by_width, by_height));
}

int fullscreen_scale_for_desktop(int desktop_w, int desktop_h)
{
    return std::max(1, std::min(desktop_w / FRAME_W, desktop_h / FRAME_H));
}

int shown_colour(const RGB &entry, int colour_depth)
{
    auto widen = [](unsigned char v) { return ((v & 63) << 2) | ((v & 63) >> 4); };
    return makecol_depth(colour_depth, widen(entry.r), widen(entry.g), widen(entry.b));
}

// ---------------------------------------------------------------------------
// Presenter

Presenter::~Presenter() { release(); }

void Presenter::release()
{
    if (rows_)
        destroy_bitmap(rows_);
    rows_ = nullptr;
    everything_ = true;
}

void Presenter::forget() { everything_ = true; }

void Presenter::prepare(BITMAP *frame, BITMAP *target, int scale)
{
    const int depth = bitmap_color_depth(target);
    if (!rows_ || scale != scale_ || depth != depth_) {
        if (rows_)
            destroy_bitmap(rows_);
        rows_ = create_bitmap_ex(depth, frame->w * scale, scale);
        scale_ = scale;
        everything_ = true;
    }
    const std::size_t size = static_cast<std::size_t>(frame->w) * frame->h;
    if (shown_.size() != size) {
        shown_.assign(size, 0);
        everything_ = true;
    }
}

void Presenter::update_colours(const RGB *palette, int depth)
{
    const bool new_depth = depth != depth_;
    depth_ = depth;
    any_colour_changed_ = false;
    for (int i = 0; i < 256; i++) {
        const RGB &entry = palette[i];
        const RGB &shown = shown_palette_[i];
        colour_changed_[i] = new_depth || entry.r != shown.r || entry.g != shown.g || entry.b != shown.b;
        any_colour_changed_ |= colour_changed_[i];
        if (colour_changed_[i]) {
            colours_[i] = shown_colour(entry, depth);
            shown_palette_[i] = entry;
        }
    }
}

bool Presenter::row_needs_drawing(BITMAP *frame, int row) const
{
    const unsigned char *pixels = frame->line[row];
    if (std::memcmp(pixels, &shown_[static_cast<std::size_t>(row) * frame->w], frame->w) != 0)
        return true;
    if (!any_colour_changed_)
        return false;
    for (int x = 0; x < frame->w; x++)
        if (colour_changed_[pixels[x]])
            return true;
    return false;
}

namespace {

template <typename Pixel>
void widen_row(const unsigned char *pixels, int width, const std::array<int, 256> &colours, int scale, void *out)
{
    Pixel *to = static_cast<Pixel *>(out);
    for (int x = 0; x < width; x++) {
        const Pixel colour = static_cast<Pixel>(colours[pixels[x]]);
        for (int k = 0; k < scale; k++)
            *to++ = colour;
    }
}

// Three bytes a pixel, in the order Allegro keeps them in memory.
void widen_row_24(const unsigned char *pixels, int width, const std::array<int, 256> &colours, int scale, void *out)
{
    unsigned char *to = static_cast<unsigned char *>(out);
    for (int x = 0; x < width; x++) {
        const int colour = colours[pixels[x]];
        for (int k = 0; k < scale; k++) {
            *to++ = static_cast<unsigned char>(colour);
            *to++ = static_cast<unsigned char>(colour >> 8);
            *to++ = static_cast<unsigned char>(colour >> 16);
        }
    }
}

} // namespace

void Presenter::draw_row(BITMAP *frame, int row, BITMAP *target, int scale, int x, int y)
{
    const unsigned char *pixels = frame->line[row];
    switch (depth_) {
    case 32: widen_row<std::uint32_t>(pixels, frame->w, colours_, scale, rows_->line[0]); break;
    case 24: widen_row_24(pixels, frame->w, colours_, scale, rows_->line[0]); break;
    case 8: widen_row<std::uint8_t>(pixels, frame->w, colours_, scale, rows_->line[0]); break;
    default: widen_row<std::uint16_t>(pixels, frame->w, colours_, scale, rows_->line[0]); break;
    }
    const std::size_t bytes = static_cast<std::size_t>(rows_->w) * ((depth_ + 7) / 8);
    for (int k = 1; k < scale; k++)
        std::memcpy(rows_->line[k], rows_->line[0], bytes);
    blit(rows_, target, 0, 0, x, y + row * scale, rows_->w, scale);
    std::memcpy(&shown_[static_cast<std::size_t>(row) * frame->w], pixels, frame->w);
}

void Presenter::present(BITMAP *frame, const RGB *palette, BITMAP *target, int scale, int x, int y)
{
    prepare(frame, target, scale);
    update_colours(palette, bitmap_color_depth(target));
    // Held for all the rows: a screen that is not held is brought up to date
    // after every row (Windows' DirectDraw window).
    acquire_bitmap(target);
    for (int row = 0; row < frame->h; row++)
        if (everything_ || row_needs_drawing(frame, row))
            draw_row(frame, row, target, scale, x, y);
    release_bitmap(target);
    everything_ = false;
}

// ---------------------------------------------------------------------------
// The game's display

namespace {

const char *const WINDOW_TITLE = "tolbrint";
const int STRIP_FONT = 62;        // the tent's font
const int STRIP_TEXT_COLOUR = 1;  // near white

BITMAP *frame = nullptr;
RGB palette[256];
// Never destroyed: a destructor would run after the library has shut down.
Presenter &presenter = *new Presenter;
void (*close_callback)() = nullptr;

int window_scale = 1;
bool fullscreen = false;
int scale_now = 1;
int picture_x = 0;
int picture_y = 0;

std::atomic<bool> in_background{false};

void went_to_background() { in_background = true; }
void came_to_foreground() { in_background = false; }

// The screen takes the desktop's depth, so the X server need not convert;
// palette-only desktops get true colour.
int screen_depth()
{
    const int depth = desktop_color_depth();
    return depth == 15 || depth == 16 || depth == 24 || depth == 32 ? depth : 32;
}

void desktop_size(int &w, int &h)
{
    if (get_desktop_resolution(&w, &h) != 0 || w <= 0 || h <= 0) {
        w = FRAME_W;
        h = FRAME_H;
    }
}

// What every new window needs again after a mode change.
void dress_window()
{
    set_window_title(WINDOW_TITLE);
    if (close_callback)
        set_close_button_callback(close_callback);
    in_background = false;
    if (set_display_switch_mode(SWITCH_BACKGROUND) == 0) {
        set_display_switch_callback(SWITCH_OUT, went_to_background);
        set_display_switch_callback(SWITCH_IN, came_to_foreground);
    }
    clear_to_color(screen, makecol(0, 0, 0));
    presenter.forget();
}

bool set_window_mode()
{
    const int w = FRAME_W * window_scale, h = FRAME_H * window_scale;
    if (set_gfx_mode(GFX_AUTODETECT_WINDOWED, w, h, 0, 0) != 0 && set_gfx_mode(GFX_AUTODETECT, w, h, 0, 0) != 0)
        return false;
    fullscreen = false;
    scale_now = window_scale;
    picture_x = picture_y = 0;
    dress_window();
    return true;
}

bool set_fullscreen_mode()
{
    int w, h;
    desktop_size(w, h);
    if (set_gfx_mode(GFX_AUTODETECT_FULLSCREEN, w, h, 0, 0) != 0)
        return false;
    fullscreen = true;
    scale_now = fullscreen_scale_for_desktop(SCREEN_W, SCREEN_H);
    picture_x = (SCREEN_W - FRAME_W * scale_now) / 2;
    picture_y = (SCREEN_H - FRAME_H * scale_now) / 2;
    dress_window();
    return true;
}

// Fullscreen failed: back to the window, which must come back.
bool fall_back_to_window()
{
    std::fprintf(stderr, "tolbrint: cannot switch to fullscreen, staying in a window: %s\n", allegro_error);
    return set_window_mode();
}

// Registered with atexit after the library, so it runs before the
// library's own shutdown.
void close_display()
{
    presenter.release();
    if (frame)
        destroy_bitmap(frame);
    frame = nullptr;
}

} // namespace

bool open_display(int scale, bool start_fullscreen, void (*on_close)())
{
    int w, h;
    desktop_size(w, h);
    window_scale = scale > 0 ? scale : window_scale_for_desktop(w, h);
    close_callback = on_close;
    static bool registered = false;
    if (!registered)
        registered = std::atexit(close_display) == 0;
    set_color_depth(screen_depth());
    game_frame();
    const bool opened = start_fullscreen ? set_fullscreen_mode() || fall_back_to_window() : set_window_mode();
    // Pictures and fonts stay 8-bit whatever the screen's depth.
    set_color_depth(8);
    return opened;
}

BITMAP *game_frame()
{
    if (!frame) {
        frame = create_bitmap_ex(8, FRAME_W, FRAME_H);
        if (frame)
            clear_bitmap(frame);
    }
    return frame;
}

void present()
{
    if (!frame || !screen)
        return;
    presenter.present(frame, palette, screen, scale_now, picture_x, picture_y);
}

void present_dimmed(int brightness)
{
    if (!frame || !screen)
        return;
    const int level = std::clamp(brightness, 0, FULL_BRIGHTNESS);
    RGB dimmed[256];
    for (int i = 0; i < 256; i++) {
        dimmed[i].r = static_cast<unsigned char>(palette[i].r * level / FULL_BRIGHTNESS);
        dimmed[i].g = static_cast<unsigned char>(palette[i].g * level / FULL_BRIGHTNESS);
        dimmed[i].b = static_cast<unsigned char>(palette[i].b * level / FULL_BRIGHTNESS);
        dimmed[i].filler = 0;
    }
    presenter.present(frame, dimmed, screen, scale_now, picture_x, picture_y);
}

void set_game_palette(const RGB *colours)
{
    std::copy(colours, colours + 256, palette);
    set_palette(const_cast<RGB *>(colours));
}

const RGB *game_palette() { return palette; }

void set_palette_entry(int index, int red, int green, int blue)
{
    RGB colour = {static_cast<unsigned char>(red), static_cast<unsigned char>(green),
                  static_cast<unsigned char>(blue), 0};
    palette[index] = colour;
    set_color(index, &colour);
}

void toggle_fullscreen()
{
    set_color_depth(screen_depth());
    const bool switched = fullscreen ? set_window_mode() : set_fullscreen_mode() || fall_back_to_window();
    set_color_depth(8);
    if (!switched) {
        std::fprintf(stderr, "tolbrint: cannot open a window again: %s\n", allegro_error);
        if (close_callback)
            close_callback();
        return;
    }
    present();
}

bool is_fullscreen() { return fullscreen; }

int display_scale() { return scale_now; }

int largest_window_scale()
{
    int w, h;
    desktop_size(w, h);
    return window_scale_for_desktop(w, h);
}

bool set_window_scale(int scale)
{
    const int old = window_scale;
    window_scale = std::clamp(scale, 1, largest_window_scale());
    if (fullscreen || window_scale == old)
        return true;
    set_color_depth(screen_depth());
    const bool set = set_window_mode() || (window_scale = old, set_window_mode());
    set_color_depth(8);
    presenter.forget();
    present();
    return set;
}

int window_scale_setting() { return window_scale; }

namespace {

FONT *strip_font()
{
    FONT *face = font_entry(STRIP_FONT);
    return face ? face : font;
}

// Room at each end of a strip line.
constexpr int STRIP_MARGIN = 4;

bool fits_strip(FONT *face, const std::string &line)
{
    return text_length(face, line.c_str()) <= FRAME_W - 2 * STRIP_MARGIN;
}

// The longest start of word that fits, at least one character.
std::size_t fitting_length(FONT *face, const std::string &word)
{
    std::size_t length = word.size();
    while (length > 1 && !fits_strip(face, word.substr(0, length)))
        length--;
    return length;
}

} // namespace

std::vector<std::string> strip_lines(const std::string &text, int max_lines)
{
    FONT *face = strip_font();
    std::vector<std::string> lines;
    std::string line;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        const std::string longer = line.empty() ? word : line + " " + word;
        if (fits_strip(face, longer)) {
            line = longer;
            continue;
        }
        if (!line.empty())
            lines.push_back(line);
        // A word wider than the strip is broken where it must be.
        while (!fits_strip(face, word)) {
            const std::size_t length = fitting_length(face, word);
            lines.push_back(word.substr(0, length));
            word.erase(0, length);
        }
        line = word;
    }
    if (!line.empty())
        lines.push_back(line);
    if (static_cast<int>(lines.size()) > max_lines) {
        lines.resize(static_cast<std::size_t>(std::max(max_lines, 1)));
        std::string &last = lines.back();
        while (!last.empty() && !fits_strip(face, last + "..."))
            last.pop_back();
        last += "...";
    }
    return lines;
}

void show_strip_lines(const std::vector<std::string> &lines)
{
    BITMAP *target = game_frame();
    if (!target)
        return;
    rectfill(target, 0, STRIP_TOP, FRAME_W - 1, FRAME_H - 1, 0);
    FONT *face = strip_font();
    const int line_height = text_height(face) + 2;
    const int count = std::min(static_cast<int>(lines.size()), (FRAME_H - STRIP_TOP) / line_height);
    int y = STRIP_TOP + (FRAME_H - STRIP_TOP - count * line_height) / 2 + 1;
    for (int i = 0; i < count; i++, y += line_height)
        textout_centre_ex(target, face, lines[static_cast<std::size_t>(i)].c_str(), FRAME_W / 2, y,
                          STRIP_TEXT_COLOUR, -1);
}

void show_strip_text(const std::string &text) { show_strip_lines(strip_lines(text, STRIP_LINES)); }

bool window_in_background() { return in_background; }
