/* Preloaded into a program under test by cpu_usage.sh: counts the pictures
   it shows (glXSwapBuffers calls) and keeps the count in the file named by
   SWAP_COUNT_FILE, rewritten at each swap. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

typedef void (*SwapBuffers)(void* display, unsigned long drawable);

void glXSwapBuffers(void* display, unsigned long drawable)
{
    static SwapBuffers real;
    static unsigned long long swaps;
    static int fd = -2;
    if (!real) {
        void* symbol = dlsym(RTLD_NEXT, "glXSwapBuffers");
        memcpy(&real, &symbol, sizeof real); /* POSIX's way to a function pointer */
    }
    if (fd == -2) {
        const char* path = getenv("SWAP_COUNT_FILE");
        fd = path ? open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644) : -1;
    }
    ++swaps;
    if (fd >= 0) {
        char text[32];
        const int length = snprintf(text, sizeof text, "%llu\n", swaps);
        if (pwrite(fd, text, (size_t)length, 0) < 0)
            fd = -1;
    }
    if (real)
        real(display, drawable);
}
