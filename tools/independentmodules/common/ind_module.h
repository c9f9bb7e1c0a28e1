/* What every variant shares: the entry points' checks and logging, the
 * received context and callback, and reporting through it. A variant only
 * supplies ind_variant_init() and ind_variant_second(). */
#ifndef IND_MODULE_H
#define IND_MODULE_H

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Entry points, called by each form's export shim. */
unsigned char ind_module_init(const void *record);
void ind_module_second(const uint32_t *value);
void ind_module_third(void);
void ind_module_locale(const void *record);

/* Logs "report <code>", then calls the loader back. The message need only
 * live until the call returns. Does nothing before an accepted init. */
void ind_report(int32_t code, const char *message);
/* The same without the log line (for floods the log summarizes). */
void ind_report_unlogged(int32_t code, const char *message);

/* For a module thread: returns once init (or second) has returned to the
 * loader, then waits settle_ms more, since "returned" can only be seen as
 * "about to return" from here. */
void ind_wait_until_init_returned(unsigned settle_ms);
void ind_wait_until_second_returned(unsigned settle_ms);

/* Supplied by the variant. ind_variant_init runs inside init after the
 * record was accepted; false fails init. */
bool ind_variant_init(void);
void ind_variant_second(void);

#ifdef __cplusplus
}
#endif

#endif
