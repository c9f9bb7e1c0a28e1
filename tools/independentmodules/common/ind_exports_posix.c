/* The native form's entry points, found by the loader with dlsym. */
#include <stdint.h>

#include "ind_module.h"

#define IND_EXPORT __attribute__((visibility("default")))

IND_EXPORT unsigned char a(const void *record);
IND_EXPORT void b(const uint32_t *value);
IND_EXPORT void c(void);
IND_EXPORT void d(const void *record);

unsigned char a(const void *record) {
  return ind_module_init(record);
}

void b(const uint32_t *value) {
  ind_module_second(value);
}

void c(void) {
  ind_module_third();
}

void d(const void *record) {
  ind_module_locale(record);
}
