/* Finds the sounds in a recording of the game: raw 16-bit stereo as
 * Allegro's ALSA driver writes it (unsigned, low byte first).
 *   listen FILE [FROM_FRAME]
 * prints one line per burst, "burst FIRST LAST LEFT_PEAK RIGHT_PEAK" (frames
 * and sample values), bursts being runs of sound with gaps of under 20 ms,
 * then "frames N" and "clipped N" (samples at full scale).
 *   listen FILE FROM_FRAME WINDOW_MS
 * prints instead one line per window, "window FIRST PEAK STEP SIDE": the
 * loudest sample and the largest step from one frame to the next within it,
 * in either channel (a click is a step far beyond the music's own), and the
 * largest difference between the channels (the music plays in the middle,
 * so the side is what the effects, placed left or right, add). */
#include <stdio.h>
#include <stdlib.h>

#define RATE 44100
#define THRESHOLD 200 /* 0.6 % of full scale */
#define GAP (RATE / 50)

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s FILE [FROM_FRAME]\n", argv[0]);
        return 2;
    }
    FILE *file = fopen(argv[1], "rb");
    if (!file) {
        perror(argv[1]);
        return 1;
    }
    const long from = argc > 2 ? atol(argv[2]) : 0;
    const long window = argc > 3 ? atol(argv[3]) * RATE / 1000 : 0;
    int window_peak = 0, window_step = 0, window_side = 0, last_left = 0, last_right = 0;
    unsigned char frame[4];
    long at = 0, first = -1, last = -1, clipped = 0;
    int left_peak = 0, right_peak = 0;
    while (fread(frame, 1, 4, file) == 4) {
        const int left = (frame[0] | frame[1] << 8) - 32768;
        const int right = (frame[2] | frame[3] << 8) - 32768;
        clipped += (left <= -32767 || left >= 32767) + (right <= -32767 || right >= 32767);
        if (window > 0 && at >= from) {
            const int step = abs(left - last_left) > abs(right - last_right) ? abs(left - last_left)
                                                                             : abs(right - last_right);
            if (at > from && step > window_step)
                window_step = step;
            if (abs(left) > window_peak)
                window_peak = abs(left);
            if (abs(right) > window_peak)
                window_peak = abs(right);
            if (abs(left - right) > window_side)
                window_side = abs(left - right);
            if ((at - from + 1) % window == 0) {
                printf("window %ld %d %d %d\n", at + 1 - window, window_peak, window_step, window_side);
                window_peak = window_step = window_side = 0;
            }
        }
        last_left = left;
        last_right = right;
        if (window > 0) {
            at++;
            continue;
        }
        if (at >= from && (abs(left) > THRESHOLD || abs(right) > THRESHOLD)) {
            if (first >= 0 && at - last > GAP) {
                printf("burst %ld %ld %d %d\n", first, last, left_peak, right_peak);
                first = -1;
            }
            if (first < 0) {
                first = at;
                left_peak = right_peak = 0;
            }
            last = at;
            if (abs(left) > left_peak)
                left_peak = abs(left);
            if (abs(right) > right_peak)
                right_peak = abs(right);
        }
        at++;
    }
    if (first >= 0)
        printf("burst %ld %ld %d %d\n", first, last, left_peak, right_peak);
    printf("frames %ld\nclipped %ld\n", at, clipped);
    fclose(file);
    return 0;
}
