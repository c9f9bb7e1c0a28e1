/* Reports inside second, and once more from its own thread after second
 * has returned: a loader must survive both. */
#include <stdatomic.h>

#include "ind_log.h"
#include "ind_module.h"
#include "ind_platform.h"

static atomic_bool second_called;

static void confirm_then_outlive_second(void *unused) {
  (void)unused;
  ind_report(508, "second_reports asks for the game");
  ind_report(1002, "second_reports confirms");
  while (!atomic_load(&second_called)) {
    ind_sleep_ms(10);
  }
  ind_wait_until_second_returned(200);
  ind_report(1003, "after second");
  ind_log("after-second sent");
}

bool ind_variant_init(void) {
  ind_thread *thread = ind_thread_start(confirm_then_outlive_second, NULL);
  if (thread == NULL) {
    return false;
  }
  ind_thread_detach(thread);
  return true;
}

void ind_variant_second(void) {
  ind_report(1003, "from second");
  atomic_store(&second_called, true);
}
