/* thread_confirm whose thread never ends: after confirming it sleeps for
 * good and reports nothing more; second does not stop it. */
#include <stddef.h>

#include "ind_module.h"
#include "ind_platform.h"

static void confirm_then_linger(void *unused) {
  (void)unused;
  ind_wait_until_init_returned(50);
  ind_report(508, NULL);
  ind_sleep_ms(300);
  ind_report(1002, NULL);
  for (;;) {
    ind_sleep_ms(1000);
  }
}

bool ind_variant_init(void) {
  ind_thread *thread = ind_thread_start(confirm_then_linger, NULL);
  if (thread == NULL) {
    return false;
  }
  ind_thread_detach(thread);
  return true;
}

void ind_variant_second(void) {
}
