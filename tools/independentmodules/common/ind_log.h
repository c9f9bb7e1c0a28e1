/* The event log a test reads back: one line per event, appended to the file
 * named by TAVRIN_INDEPENDENT_MODULE_LOG, nothing when it is unset. */
#ifndef IND_LOG_H
#define IND_LOG_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Longest text taken from a loader string; the rest is cut. */
#define IND_LOG_TEXT_MAX 200

#if defined(__GNUC__)
#define IND_PRINTF_LIKE(f, a) __attribute__((format(printf, f, a)))
#else
#define IND_PRINTF_LIKE(f, a)
#endif

void ind_log(const char *format, ...) IND_PRINTF_LIKE(1, 2);

/* "(null)" for a null loader string. */
const char *ind_log_text(const char *text);

/* Platform half: appends one whole line with a single write. */
void ind_log_append(const char *line, size_t length);

#ifdef __cplusplus
}
#endif

#endif
