/* Threads and sleeping, one implementation per form. */
#ifndef IND_PLATFORM_H
#define IND_PLATFORM_H

#include <stdbool.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ind_thread ind_thread;

/* A running thread calling body(arg), or null when none could start. */
ind_thread *ind_thread_start(void (*body)(void *arg), void *arg);
/* Waits for the thread to end and releases it. */
bool ind_thread_join(ind_thread *thread);
/* Lets the thread run on by itself and releases the handle. */
void ind_thread_detach(ind_thread *thread);

void ind_sleep_ms(unsigned milliseconds);

#ifdef __cplusplus
}
#endif

#endif
