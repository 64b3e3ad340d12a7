#include "ending.h"

#include <allegro.h>

#include <cctype>

#include "datafile.h"
#include "display.h"

namespace {

const int BACKDROP = 142;       // the ending's picture
const int TITLE_BACKDROP = 38;  // for a datafile made before the ending had one
const int HEADING_FONT = 65;    // the title's
const int TEXT_FONT = 62;       // the tent's
const int TEXT_COLOUR = 1;      // near white
const int HEADING_ROW = 14;
const int FIRST_ROW = 40;
const int ROW_STEP = 11;
const int STORY_ROW = 152;
const int LABEL_COLUMN = 40;
const int VALUE_COLUMN = 280;   // values end here

const char *const HEADING = "THE ROAD IS OPEN";
const char *const STORY[] = {
    "The idol's eyes go dark. Across the dunes",
    "the robots fall silent, and the caravans",
    "will cross the desert again.",
};
const char *const GO_ON = "Press a key";

struct Row {
    std::string label;
    std::string value;
};

std::string capitalised(std::string text)
{
    if (!text.empty())
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
}

std::vector<Row> tally_rows(const RunTally &tally)
{
    std::vector<Row> rows = {
        {"Zombies destroyed", std::to_string(tally.zombies)},
        {"Robots destroyed", std::to_string(tally.robots)},
        {"Shots fired", std::to_string(tally.shots)},
        {"Shots on target", std::to_string(hit_percentage(tally)) + " %"},
    };
    int passes = 0;
    for (const LevelTime &level : tally.levels) {
        rows.push_back({capitalised(level.name), pass_time(level.passes)});
        passes += level.passes;
    }
    rows.push_back({"In all", pass_time(passes)});
    return rows;
}

} // namespace

void draw_ending(const RunTally &tally)
{
    BITMAP *frame = game_frame();
    if (!frame)
        return;
    clear_bitmap(frame);
    BITMAP *backdrop = bitmap_entry(BACKDROP);
    if (!backdrop)
        backdrop = bitmap_entry(TITLE_BACKDROP);
    if (backdrop)
        blit(backdrop, frame, 0, 0, 0, 0, FRAME_W, STRIP_TOP);
    FONT *heading = font_entry(HEADING_FONT);
    FONT *text = font_entry(TEXT_FONT);
    if (!heading || !text)
        return;
    textout_centre_ex(frame, heading, HEADING, FRAME_W / 2, HEADING_ROW, -1, -1);
    int row = FIRST_ROW;
    for (const Row &line : tally_rows(tally)) {
        textout_ex(frame, text, line.label.c_str(), LABEL_COLUMN, row, TEXT_COLOUR, -1);
        textout_right_ex(frame, text, line.value.c_str(), VALUE_COLUMN, row, TEXT_COLOUR, -1);
        row += ROW_STEP;
    }
    row = STORY_ROW;
    for (const char *line : STORY) {
        textout_centre_ex(frame, text, line, FRAME_W / 2, row, TEXT_COLOUR, -1);
        row += ROW_STEP;
    }
    show_strip_text(GO_ON);
}
