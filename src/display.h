// Presentation: the game draws into one 320 x 240 8-bit frame, and presenting
// shows that frame enlarged by a whole number, in a window or in fullscreen.
// Every screen write of the game goes into the frame; only present() touches
// the real screen.
#ifndef TOLBRINT_DISPLAY_H
#define TOLBRINT_DISPLAY_H

#include <allegro.h>

#include <array>
#include <string>
#include <vector>

constexpr int FRAME_W = 320;
constexpr int FRAME_H = 240;
// Rows 200 to 239 lie under the game picture; play leaves them empty.
constexpr int STRIP_TOP = 200;

// The largest scale whose window fits in 85 % of the desktop, at least 1.
int window_scale_for_desktop(int desktop_w, int desktop_h);
// The largest scale whose picture fits on the whole desktop, at least 1.
int fullscreen_scale_for_desktop(int desktop_w, int desktop_h);

// The colour the screen shows for a palette entry: each 6-bit component v
// becomes (v << 2) | (v >> 4).
int shown_colour(const RGB &entry, int colour_depth);

// Draws an 8-bit frame onto a target of 15, 16, 24 or 32 bits, enlarged
// scale times with its top-left corner at (x, y). It remembers what it drew:
// rows of the frame that are unchanged, in unchanged colours, are skipped.
class Presenter {
public:
    Presenter() = default;
    Presenter(const Presenter &) = delete;
    Presenter &operator=(const Presenter &) = delete;
    ~Presenter();

    void present(BITMAP *frame, const RGB *palette, BITMAP *target, int scale, int x, int y);
    // The next present draws every row (after the target was replaced).
    void forget();
    // Lets go of the presenter's own bitmap, while the library still runs.
    void release();

private:
    void prepare(BITMAP *frame, BITMAP *target, int scale);
    void update_colours(const RGB *palette, int depth);
    bool row_needs_drawing(BITMAP *frame, int row) const;
    void draw_row(BITMAP *frame, int row, BITMAP *target, int scale, int x, int y);

    BITMAP *rows_ = nullptr;                  // one frame row, enlarged, at the target's depth
    std::vector<unsigned char> shown_;        // the frame as last drawn
    std::array<int, 256> colours_{};          // target colour for each palette entry
    std::array<RGB, 256> shown_palette_{};    // the palette colours_ was made from
    std::array<bool, 256> colour_changed_{};  // entries whose colour changed since the last present
    bool any_colour_changed_ = true;
    bool everything_ = true;
    int scale_ = 0;
    int depth_ = 0;
};

// Opens the window (or fullscreen) and creates the frame. scale 0 picks
// the largest that fits the desktop; on_close is handed to every window's
// close button. Returns false with allegro_error set. The frame is let go
// at exit, before the library shuts down.
bool open_display(int scale, bool fullscreen, void (*on_close)());

// The frame every drawer of the game writes to.
BITMAP *game_frame();

// Shows the frame on the screen in the colours of the game's palette.
void present();

// Shows the frame with every colour dimmed: FULL_BRIGHTNESS is as
// present() shows it, 0 is black. The game's palette is left as it is.
constexpr int FULL_BRIGHTNESS = 64;
void present_dimmed(int brightness);

// Palette changes show on the next present.
void set_game_palette(const RGB *palette);
// The palette the frame is shown in.
const RGB *game_palette();
void set_palette_entry(int index, int red, int green, int blue);

// Between the window and fullscreen; nothing drawn is lost. When fullscreen
// cannot be set the game stays in its window and one line goes to stderr.
void toggle_fullscreen();
bool is_fullscreen();
// The current enlargement.
int display_scale();
// The window's enlargement, used whenever the game is in a window: 1 to the
// largest that fits the desktop. In fullscreen it waits for the window.
// False, with the old scale kept, when the window cannot be made.
bool set_window_scale(int scale);
int window_scale_setting();
int largest_window_scale();

// The strip holds this many lines of its font.
constexpr int STRIP_LINES = 3;

// Text wrapped at its blanks onto at most max_lines lines that fit the
// strip's width in its font; when it needs more, the last line ends in "...".
std::vector<std::string> strip_lines(const std::string &text, int max_lines);
// Writes the lines centred in the bottom strip, one under the other; none
// empties it. They show on the next present.
void show_strip_lines(const std::vector<std::string> &lines);
// Writes text in the strip, wrapped onto up to STRIP_LINES lines; ""
// empties the strip.
void show_strip_text(const std::string &text);

// Whether the window is in the background (another window has the input).
bool window_in_background();

#endif
