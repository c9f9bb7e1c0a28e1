/* init starts a thread and returns at once; the thread asks for the game
 * only after init has returned, then confirms 300 ms later. */
#include <stddef.h>

#include "ind_module.h"
#include "ind_platform.h"

static void confirm_later(void *unused) {
  (void)unused;
  ind_wait_until_init_returned(50);
  ind_report(508, NULL);
  ind_sleep_ms(300);
  ind_report(1002, NULL);
}

bool ind_variant_init(void) {
  ind_thread *thread = ind_thread_start(confirm_later, NULL);
  if (thread == NULL) {
    return false;
  }
  ind_thread_detach(thread);
  return true;
}

void ind_variant_second(void) {
}
