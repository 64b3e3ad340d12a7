/* Preloaded into the game by the gamepad test: the file named by
 * $FAKE_GAMEPAD (a FIFO the test writes Linux joystick events into) answers
 * the joystick driver's questions as an eight-axis, eleven-button pad would.
 * Every other ioctl goes to the C library. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <linux/joystick.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static int is_fake_gamepad(int fd)
{
    const char *fake = getenv("FAKE_GAMEPAD");
    char link[64], target[4096];
    ssize_t length;
    if (!fake)
        return 0;
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    length = readlink(link, target, sizeof target - 1);
    if (length < 0)
        return 0;
    target[length] = '\0';
    return strcmp(target, fake) == 0;
}

int ioctl(int fd, unsigned long request, ...)
{
    static int (*real_ioctl)(int, unsigned long, void *);
    va_list arguments;
    void *argument;
    va_start(arguments, request);
    argument = va_arg(arguments, void *);
    va_end(arguments);
    if (is_fake_gamepad(fd)) {
        switch (request) {
        case JSIOCGVERSION: *(int *)argument = JS_VERSION; return 0;
        case JSIOCGAXES: *(unsigned char *)argument = 8; return 0;
        case JSIOCGBUTTONS: *(unsigned char *)argument = 11; return 0;
        }
    }
    if (!real_ioctl)
        real_ioctl = (int (*)(int, unsigned long, void *))dlsym(RTLD_NEXT, "ioctl");
    return real_ioctl(fd, request, argument);
}
