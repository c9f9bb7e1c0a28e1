/* Everything on the loader's own thread, inside init, after 5 s. */
#include "ind_module.h"
#include "ind_platform.h"

bool ind_variant_init(void) {
  ind_sleep_ms(5000);
  ind_report(508, "slow init asks for the game");
  ind_report(1002, "slow init confirms");
  return true;
}

void ind_variant_second(void) {
}
