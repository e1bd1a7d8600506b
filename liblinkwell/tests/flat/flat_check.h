/* A small test harness in C: checks that count, report where they failed and
 * add up to the closing line "N passed, N failed". */
#ifndef FLAT_CHECK_H
#define FLAT_CHECK_H

/* Names the case that the next failures belong to (a table row). */
void flat_case(const char* format, ...);
void flat_check(int ok, const char* file, int line, const char* text);
void flat_check_int(long long expected, long long actual, const char* file, int line, const char* text);
void flat_check_text(const char* expected, const char* actual, const char* file, int line, const char* text);

#define CHECK(condition) flat_check((condition) != 0, __FILE__, __LINE__, #condition)
#define CHECK_INT(expected, actual)                                                                          \
    flat_check_int((long long)(expected), (long long)(actual), __FILE__, __LINE__, #actual)
#define CHECK_TEXT(expected, actual) flat_check_text((expected), (actual), __FILE__, __LINE__, #actual)

/* The groups, one per file; each runs its cases. */
void group_lifecycle(void);
void group_commands(void);
void group_messages(void);
void group_packets(void);
void group_dax(void);
void group_recording(void);
void group_refusals(void);
void group_exports(void);

#endif
