/* The Windows form's entry points. Their export positions come from
 * ind_exports.def; the names there are for people reading the export
 * table, the loader goes by position. */
#include <stdint.h>

#include "ind_module.h"

unsigned char ind_init(const void *record);
void ind_second(const uint32_t *value);
void ind_third(void);
void ind_locale(const void *record);

unsigned char ind_init(const void *record) {
  return ind_module_init(record);
}

void ind_second(const uint32_t *value) {
  ind_module_second(value);
}

void ind_third(void) {
  ind_module_third();
}

void ind_locale(const void *record) {
  ind_module_locale(record);
}
