/* Finds the sounds in a recording of the game: raw 16-bit stereo as
 * Allegro's ALSA driver writes it (unsigned, low byte first).
 *   listen FILE [FROM_FRAME]
 * prints one line per burst, "burst FIRST LAST LEFT_PEAK RIGHT_PEAK" (frames
 * and sample values), bursts being runs of sound with gaps of under 20 ms,
 * then "frames N" and "clipped N" (samples at full scale). */
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
    unsigned char frame[4];
    long at = 0, first = -1, last = -1, clipped = 0;
    int left_peak = 0, right_peak = 0;
    while (fread(frame, 1, 4, file) == 4) {
        const int left = (frame[0] | frame[1] << 8) - 32768;
        const int right = (frame[2] | frame[3] << 8) - 32768;
        clipped += (left <= -32767 || left >= 32767) + (right <= -32767 || right >= 32767);
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
