#!/bin/bash
# Plants known faults in a scratch copy of the game, one at a time, runs the
# tests that must notice each, and reports which faults were caught. A fault
# whose tests still pass is a hole in the suite.
#   tests/mutants/run.sh [--full] [NAME...]
# --full runs the whole suite for every fault instead of the tests named for
# it. Not part of CI: it builds and tests once per fault.
set -uo pipefail
SOURCE=$(cd "$(dirname "$0")/../.." && pwd)
FULL=
[ "${1:-}" = --full ] && { FULL=yes; shift; }
SCRATCH=$(mktemp -d /tmp/tolbrint-mutants-XXXXXX)
trap '[ -n "${KEEP_WORK:-}" ] || rm -rf "$SCRATCH"' EXIT

NAMES=() FILES=() EDITS=() TESTS=()
# mutant NAME FILE PERL-SUBSTITUTION TESTS-REGEX
mutant() { NAMES+=("$1"); FILES+=("$2"); EDITS+=("$3"); TESTS+=("$4"); }

# The game shell: firing, walking, scrolling, pacing, closing.
mutant fire_disabled src/tolbrint.cpp 's/\{Action::fire, \[\]\(Level &, Zarn &zarn\) \{ zarn\.firegun\(\); \}\}/{Action::fire, [](Level &, Zarn &) {}}/' '^e2e_play$'
mutant ctrl_ignored_when_walking src/tolbrint.cpp 's/return !held\(Action::walk_fire\) && !held\(Action::up\);/return !held(Action::up);/' '^Play\.|^e2e_play$'
mutant no_wrap_walking_left src/tolbrint.cpp 's/step > 0 \? -320 : 320;/step > 0 ? -320 : INT_MAX;/' '^Play\.|^e2e_play$'
mutant no_pass_pacing src/replay.cpp 's/PASS_TIME = std::chrono::milliseconds\(1000 \/ PASSES_PER_SECOND\)/PASS_TIME = std::chrono::milliseconds(0)/' '^Play\.Passes'
mutant close_ignored_in_play src/tolbrint.cpp 's/if \(QUIT \|\| close_requested\(\) \|\| run_ended\(\)\)\n            return;/if (QUIT || run_ended())\n            return;/' '^e2e_close_button$'
mutant close_ignored_on_tent src/replay.cpp 's/(    for \(;;\) \{\n)        if \(close_requested\(\)\)\n            return false;\n/$1/; s/(rest_polling\(static_cast<int>\(PASS_TIME\.count\(\)\)\);\n)            if \(close_requested\(\)\)\n                return false;\n/$1/' '^e2e_close_button$'
mutant close_ignored_after_escape src/input.cpp 's/(    for \(;;\) \{\n)        if \(window_closed\)\n            return false;\n/$1/' '^e2e_close_button$'
mutant up_left_fires_level src/zarn.cpp 's/up \? \(right \? UP_RIGHT : UP_LEFT\)/up \&\& right ? UP_RIGHT/' '^e2e_play$'
# The intro.
mutant intro_no_stars src/intro.cpp 's/step < STAR_STEPS &&/step < 0 \&\&/' '^e2e_intro$'
mutant intro_no_credits src/intro.cpp 's/line < 2; line\+\+/line < 0; line++/' '^e2e_intro$'
mutant intro_no_twinkle src/intro.cpp 's/set_palette_entry\(4, red, green, blue\);/set_palette_entry(4, 0, 0, 0 * (red + green + blue));/' '^e2e_intro$'
mutant intro_palette_not_reset src/intro.cpp 's/    set_palette_entry\(4, 0, 0, 0\);\n//' '^e2e_intro$'
mutant intro_close_ignored_while_twinkling src/intro.cpp 's/step < STAR_STEPS && !close_requested\(\)/step < STAR_STEPS/; s/rest_polling\(50\)/rest(50)/g' '^e2e_close_button$'
# The level and its portal.
mutant portal_anywhere src/level.cpp 's/if \(portal\.boundary_check\(\)\)/if (true)/' '^LevelTest\.UpEnters'
mutant level_fifo_blocks src/level.cpp 's/O_RDONLY \| O_NONBLOCK \| O_CLOEXEC/O_RDONLY | O_CLOEXEC/' '^LevelTest\.AFifo'
mutant level_read_error_ignored src/level.cpp 's/if \(got < 0\)\n            fail_file\(filename, system_error\("cannot read the level file"\)\);/if (got < 0)\n            return text;/' '^LevelTest\.ARead'
mutant level_updates_copies src/level.cpp 's/for \(Object &object : objects\)\n        object\.update\(\);/for (Object object : objects)\n        object.update();/' '^LevelTest\.AnUpdate'
mutant crlf_not_space src/level.cpp "s/ \|\| c == '\\\\r';/;/" '^e2e_hostile_files$|^LevelTest\.'
# The trace file.
mutant trace_judged_by_size src/object.cpp 's/return trace\.gcount\(\) == TRACE_LENGTH && .*;/return trace.gcount() == TRACE_LENGTH;/' '^PassCost\.TheTraceFile'
# The datafile guard.
mutant datafile_sample_unchecked src/datafile.cpp 's/\{DAT_SAMPLE, check_sample\},//' '^DamagedDatafile\.'
mutant datafile_midi_unchecked src/datafile.cpp 's/\{DAT_MIDI, check_midi\},//' '^DamagedDatafile\.'
mutant datafile_old_fixed_fonts_refused src/datafile.cpp 's/if \(format == FIXED_8_FONT \|\| format == FIXED_16_FONT\)/if (false)/' '^DamagedDatafile\.'
mutant datafile_old_proportional_fonts_refused src/datafile.cpp 's/\} else if \(format == PROPORTIONAL_FONT\) \{/} else if (false) {/' '^DamagedDatafile\.'
mutant datafile_unknown_fonts_passed src/datafile.cpp 's/malformed\(where \+ " has font format " \+ std::to_string\(format\)\);/;/' '^DamagedDatafile\.'
mutant datafile_no_unpacked_limit src/datafile.cpp 's/LARGEST_DATAFILE = 64u << 20;/LARGEST_DATAFILE = std::size_t(1) << 40;/' '^DamagedDatafile\.'
mutant datafile_end_typed_entry src/datafile.cpp 's/if \(static_cast<std::int32_t>\(type\) == DAT_END\)\n        malformed\(where \+ " has the end marker.s type"\);\n//' '^DamagedDatafile\.'
mutant datafile_end_typed_property src/datafile.cpp 's/if \(in\.i32\(where \+ "\x27s property type"\) == DAT_END\)\n        /in.i32(where + "\x27s property type");\n        if (false)\n        /' '^DamagedDatafile\.'
mutant datafile_read_error_ignored src/datafile.cpp 's/if \(read_failed\) \{/if (false \&\& read_failed) {/' '^DamagedDatafile\.'

# Presentation: the scale for the desktop, the enlargement, the colours, fullscreen.
mutant window_scale_by_width_only src/display.cpp 's/return std::max\(1, std::min\(by_width, by_height\)\);/return std::max(1, by_width);/' '^Scale\.'
mutant block_last_row_not_copied src/display.cpp 's/for \(int k = 1; k < scale; k\+\+\)/for (int k = 1; k < scale - 1; k++)/' '^Present\.'
mutant colour_low_bits_dropped src/display.cpp 's/return \(\(v & 63\) << 2\) \| \(\(v & 63\) >> 4\);/return (v & 63) << 2;/' '^Colour\.'
mutant fullscreen_not_centred_vertically src/display.cpp 's/picture_y = \(SCREEN_H - FRAME_H \* scale_now\) \/ 2;/picture_y = 0;/' '^e2e_scaling$'
# The command line and the settings file.
mutant value_to_flag_called_unknown src/options.cpp 's/if \(optopt\)\n        return "option/if (!optopt)\n        return "option/' '^Options\.'
mutant scale_zero_refused src/options.cpp 's/whole_number\(value, 0, MAX_SCALE, options\.scale\)/whole_number(value, MIN_SCALE, MAX_SCALE, options.scale)/' '^Options\.'
mutant usage_error_exits_1 src/options.cpp 's/result\.exit_code = 2;/result.exit_code = 1;/' '^Options\.'
mutant settings_outside_sections_unwarned src/options.cpp 's/std::vector<std::string> section_names\{""\};/std::vector<std::string> section_names;/' '^Settings\.'
mutant file_over_command_line src/tolbrint.cpp 's/(    const SettingsResult settings =\n)/    parse_options(argc, argv, options);\n$1/; s/(        return false;\n)    parse_options\(argc, argv, options\);\n/$1/' '^e2e_remapped_keys$'
mutant print_config_prints_defaults src/tolbrint.cpp 's/std::fputs\(settings_text\(options\)\.c_str\(\), stdout\);/std::fputs(settings_text(command_line).c_str(), stdout);/' '^e2e_remapped_keys$'
# Key bindings and the gamepad.
mutant keys_read_by_default_binding src/input.cpp 's/if \(bindings\.keys\[i\] == scancode\)/if (action_defaults[i].key == scancode)/' '^Input\.|^SystemKeys\.'
mutant clash_earlier_gives_way src/options.cpp 's/const int yielding = written\[b\]\.empty\(\) \? a : b;/const int yielding = written[a].empty() ? b : a;/' '^Settings\.'
mutant pad_repeat_one_tick_late src/input.cpp 's/now >= next_repeat_\[i\]/now > next_repeat_[i]/' '^Input\.'
# Authoring: reload, starting anywhere, skipping the title.
mutant failed_reload_clears_shots src/authoring.cpp 's/(    std::unique_ptr<Level> fresh;\n)/$1    zarnbullets.clear();\n    eweapons.clear();\n/' '^Authoring\.'
mutant start_x_odd_negative src/authoring.cpp 's/const int view = x - static_cast<int>\(floor_mod\(x, 2\)\);/const int view = x - x % 2;/' '^Authoring\.'
mutant skip_intro_ignored src/tolbrint.cpp 's/if \(!options\.skip_intro && !replaying\)\n        intro\(\);/intro();/' '^e2e_reload$'
# Side files.
mutant empty_home_used src/sidefiles.cpp 's/if \(home && \*home\)/if (home)/' '^SideFiles'
# Replays: a robot firing one pass late shows in the golden replays as the
# first pass that differs; the checks of a replay's origin and checkpoints.
mutant robot_fires_a_pass_late src/enemy.cpp 's/const int FIRE_INTERVAL = 250;/const int FIRE_INTERVAL = 251;/' '^replay_'
mutant replay_datafile_unchecked src/replay.cpp 's/if \(read\.datafile_checksum != datafile_checksum\)/if (false)/' '^ReplayFile\.'
mutant replay_checkpoints_uncompared src/replay.cpp 's/    if \(!difference\.empty\(\)\) \{/    if (false) {/' '^ReplayFile\.|^replay_'
mutant replay_reload_reads_the_file src/replay.cpp 's/    if \(run\.played\) \{\n        if \(run\.next_level/    if (false) {\n        if (run.next_level/' '^ReplayFile\.'
mutant exit_anywhere src/tolbrint.cpp 's/if \(at_level_exit\(level, static_cast<long long>\(global_x\) \+ shift_x\)\)/if (level.level_exit)/' '^replay_'
mutant hits_not_tallied src/tolbrint.cpp 's/            if \(zarnbullets\[i\]\.hit\)\n                tally_hit\(\);\n//' '^replay_level3$'
mutant desktop_repeat_kept src/input.cpp 's/        set_keyboard_rate\(0, 0\);/        ;/' '^e2e_key_repeat$'
mutant repeat_from_first_pass src/input.cpp 's/            countdown = delay_; \/\/ from its press/            countdown = 1; \/\/ from its press/' '^PassRepeatTest\.'
mutant sound_on_unsaid src/strip.cpp 's/if \(was_muted && !muted\)/if (false)/' '^Strip\.'
mutant remap_not_applied src/menu.cpp 's/    bound\[static_cast<std::size_t>\(action\)\] = value;\n    use_bindings\(in_force\.bindings\);/    bound[static_cast<std::size_t>(action)] = value;/' '^e2e_menu$'
mutant settings_appended_twice src/settings.cpp 's/        if \(first_entry >= 0\) \{/        if (false) {/' '^SettingsFile\.'
mutant replay_pause_recorded src/input.cpp 's/            request_pause\(\);\n            continue;/            request_pause();/' '^Input\.'
# The music.
mutant music_loop_point_ignored src/music.cpp 's/        sample->loop_start = static_cast<unsigned long>\(start\);/        ;/' '^e2e_music$'
mutant music_loop_point_not_moved sounds/score.cpp 's/piece\.loop_start = static_cast<int>\(loop_sample \+ ring\);/piece.loop_start = static_cast<int>(loop_sample);/' '^Scores\.'
mutant music_loop_not_played_on sounds/score.cpp 's/shift \+= length - loop_sample\)\n/shift += length - loop_sample)\n            if (false)\n/' '^Scores\.'
mutant music_over_the_effects src/sound.h 's/return MIX_CEILING - reserved_;/return MIX_CEILING;/' '^SoundTest\.'
mutant music_not_muted src/sound.cpp 's/    if \(mute_listener\)\n        mute_listener\(sound\.muted\);\n//' '^e2e_music$'
mutant old_volume_setting_ignored src/options.cpp 's/\{\{"sound", "volume", "effects_volume"\}\}/{{"sound", "no such", "effects_volume"}}/' '^Settings\.'
mutant score_bar_line_unchecked sounds/score.cpp 's/if \(pattern\.length % bar_ticks\(\) != 0\)/if (false)/' '^Scores\.'
# The Tiled tool.
mutant tiled_bottom_limit_from_top tools/tiled_import.cpp 's/h\.bottom_limit = int_property\(map_, "bottom limit"/h.bottom_limit = int_property(map_, "top limit"/' '^TiledTool\.'
# The datafile's newer checks.
mutant compressed_object_tail_ignored src/datafile.cpp 's/if \(unpacker\.packed_left\(\) != 0\)/if (false)/' '^DamagedDatafile\.'
mutant colour_font_depth_unchecked src/datafile.cpp 's/if \(entry\.depth != MONO && entry\.depth != GAME_DEPTH\)/if (false)/' '^DamagedDatafile\.'

selected() {
    [ $# -eq 0 ] && return 0
    local name
    for name in "$@"; do [ "$name" = "$NAME" ] && return 0; done
    return 1
}

echo "Copying the sources to $SCRATCH"
(cd "$SOURCE" && git ls-files -co --exclude-standard | tar -cf - -T -) | (cd "$SCRATCH" && tar -xf -)
cd "$SCRATCH" || exit 1
echo "Building the unchanged copy"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLBRINT_BENCH=OFF >build.log 2>&1 &&
    cmake --build build -j2 >>build.log 2>&1 || { tail -30 build.log; echo "the unchanged copy does not build"; exit 1; }

run_tests() {
    if [ -n "$FULL" ]; then
        (cd build && ctest -j2 --timeout 300 >"$SCRATCH/test.log" 2>&1)
    else
        (cd build && ctest -j2 --timeout 300 -R "$1" >"$SCRATCH/test.log" 2>&1)
    fi
}

results=()
missed=0
for i in "${!NAMES[@]}"; do
    NAME=${NAMES[$i]}
    selected "$@" || continue
    file=${FILES[$i]}
    cp "$file" "$file.orig"
    perl -0pi -e "${EDITS[$i]}" "$file"
    if cmp -s "$file" "$file.orig"; then
        verdict="NOT APPLIED (the code it changes has moved)"
        missed=$((missed + 1))
    elif ! cmake --build build -j2 >"$SCRATCH/build.log" 2>&1; then
        verdict="DOES NOT BUILD"
        missed=$((missed + 1))
    elif run_tests "${TESTS[$i]}"; then
        verdict="MISSED"
        missed=$((missed + 1))
    else
        verdict="caught by $(grep -E '^\s+[0-9]+ - ' "$SCRATCH/test.log" | sed -E 's/^ +[0-9]+ - ([^ ]+).*/\1/' | paste -sd' ')"
    fi
    mv "$file.orig" "$file"
    touch "$file"
    results+=("$(printf '%-42s %s' "$NAME" "$verdict")")
    echo "${results[-1]}"
done
cmake --build build -j2 >/dev/null 2>&1
echo
echo "== Planted faults"
printf '%s\n' "${results[@]}"
echo "$((${#results[@]} - missed)) of ${#results[@]} caught"
[ "$missed" = 0 ]
