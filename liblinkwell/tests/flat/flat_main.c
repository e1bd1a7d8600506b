/* Runs one group of cases, named on the command line, or every group. */
#include "flat_check.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

static unsigned passed;
static unsigned failed;
static char current_case[256];

void flat_case(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(current_case, sizeof current_case, format, arguments);
    va_end(arguments);
}

void flat_check(int ok, const char* file, int line, const char* text)
{
    if (ok) {
        ++passed;
        return;
    }
    ++failed;
    fprintf(stderr, "%s:%d: [%s] failed: %s\n", file, line, current_case, text);
}

void flat_check_int(long long expected, long long actual, const char* file, int line, const char* text)
{
    flat_check(expected == actual, file, line, text);
    if (expected != actual)
        fprintf(stderr, "    expected %lld, got %lld\n", expected, actual);
}

void flat_check_text(const char* expected, const char* actual, const char* file, int line, const char* text)
{
    const int same = expected && actual && strcmp(expected, actual) == 0;
    flat_check(same, file, line, text);
    if (!same)
        fprintf(stderr, "    expected \"%s\", got \"%s\"\n", expected ? expected : "(null)",
            actual ? actual : "(null)");
}

struct Group {
    const char* name;
    void (*run)(void);
};

static const struct Group groups[] = {
    { "lifecycle", group_lifecycle },
    { "commands", group_commands },
    { "messages", group_messages },
    { "packets", group_packets },
    { "dax", group_dax },
    { "recording", group_recording },
    { "refusals", group_refusals },
    { "exports", group_exports },
};

int main(int argc, char** argv)
{
    size_t i;
    int ran = 0;
    for (i = 0; i < sizeof groups / sizeof groups[0]; ++i) {
        if (argc > 1 && strcmp(argv[1], groups[i].name) != 0)
            continue;
        flat_case("%s", groups[i].name);
        groups[i].run();
        ran = 1;
    }
    if (!ran) {
        fprintf(stderr, "no group named %s\n", argv[1]);
        return 2;
    }
    printf("%u passed, %u failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
