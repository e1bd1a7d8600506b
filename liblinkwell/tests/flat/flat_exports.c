/* Every function the public header declares is exported by the shared
 * library under its plain C name, except the two presence subscriptions,
 * which are exported under the C++ names the header gives for them. */
#define _POSIX_C_SOURCE 200809L

#include "flat_check.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <linkwell/matlab_wrapper.h>

#define MAX_SYMBOLS 8192

static char* symbols[MAX_SYMBOLS];
static size_t symbol_count;

/* The library's defined dynamic symbols, by nm. */
static int load_symbols(void)
{
    char line[512];
    FILE* nm = popen("nm -D --defined-only " FLAT_SHARED_LIBRARY, "r");
    if (!nm)
        return 0;
    while (fgets(line, sizeof line, nm) && symbol_count < MAX_SYMBOLS) {
        char* name = strrchr(line, ' ');
        if (!name || name - line < 2 || name[-1] != 'T')
            continue;
        name[strcspn(name, "\n")] = '\0';
        ++name;
        symbols[symbol_count] = malloc(strlen(name) + 1);
        if (symbols[symbol_count])
            strcpy(symbols[symbol_count++], name);
    }
    return pclose(nm) == 0 && symbol_count > 0;
}

static int exported(const char* name)
{
    size_t i;
    for (i = 0; i < symbol_count; ++i)
        if (strcmp(symbols[i], name) == 0)
            return 1;
    return 0;
}

/* The name declared on a line "LINKWELL_API <type> <name>(", or 0. */
static int declared_name(const char* line, char* name, size_t size)
{
    const char* open = strchr(line, '(');
    const char* end = open;
    const char* start;
    if (strncmp(line, "LINKWELL_API ", 13) != 0 || !open)
        return 0;
    while (end > line && isspace((unsigned char)end[-1]))
        --end;
    start = end;
    while (start > line && (isalnum((unsigned char)start[-1]) || start[-1] == '_'))
        --start;
    if ((size_t)(end - start) + 1 > size || end == start)
        return 0;
    memcpy(name, start, (size_t)(end - start));
    name[end - start] = '\0';
    return 1;
}

static int is_decorated(const char* name)
{
    return strcmp(name, "vmx_subscribe_to_presence_single") == 0
        || strcmp(name, "vmx_subscribe_to_presence_movinglist") == 0;
}

void group_exports(void)
{
    char line[512];
    char name[128];
    int declared = 0;
    int api_lines = 0;
    size_t i;
    FILE* header = fopen(FLAT_PUBLIC_HEADER, "r");

    flat_case("symbols");
    CHECK(load_symbols());
    CHECK(header != NULL);
    while (header && fgets(line, sizeof line, header)) {
        api_lines += strncmp(line, "LINKWELL_API", 12) == 0;
        if (!declared_name(line, name, sizeof name))
            continue;
        ++declared;
        flat_case("%s", name);
        if (is_decorated(name))
            CHECK(!exported(name));
        else
            CHECK(exported(name));
    }
    if (header)
        fclose(header);

    flat_case("decorated names");
    CHECK(exported(LINKWELL_SUBSCRIBE_TO_PRESENCE_SINGLE_SYMBOL));
    CHECK(exported(LINKWELL_SUBSCRIBE_TO_PRESENCE_MOVINGLIST_SYMBOL));
    /* Every declaration was found. */
    CHECK(declared > 0);
    CHECK_INT(api_lines, declared);
    for (i = 0; i < symbol_count; ++i)
        free(symbols[i]);
    symbol_count = 0;
}
