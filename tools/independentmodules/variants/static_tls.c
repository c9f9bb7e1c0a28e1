/* Real static TLS: a variable in the image's .tls data template, reached
 * the way compiled code for a TLS-directory image reaches it (the thread's
 * slot array at gs:0x58, the image's _tls_index, the offset into the
 * template). This compiler only emits emulated TLS, so the variable is
 * placed in the section by hand; the mingw runtime supplies the directory. */
#include <stdint.h>
#include <windows.h>

#include "ind_module.h"

#define TLS_INITIAL_VALUE 0x5EED7A15u
#define TLS_SLOTS_OFFSET "0x58"

/* From the mingw runtime's TLS support: the index the loader assigns and the
 * directory it reads. */
extern ULONG _tls_index;
extern const IMAGE_TLS_DIRECTORY64 _tls_used;

/* A neighbour ahead of the value (the linker orders .tls$ sections by
 * name), so that a wrong offset reads something other than the value. */
__attribute__((section(".tls$IND_A"), used)) uint32_t tls_neighbour = 0x0BADF00Du;
__attribute__((section(".tls$IND_B"), used)) uint32_t tls_value = TLS_INITIAL_VALUE;

static volatile uint32_t *thread_copy_of_value(void) {
  uintptr_t template_start = (uintptr_t)_tls_used.StartAddressOfRawData;
  uintptr_t template_end = (uintptr_t)_tls_used.EndAddressOfRawData;
  uintptr_t address = (uintptr_t)&tls_value;
  if (address < template_start || address + sizeof tls_value > template_end) {
    return NULL;
  }
  char **slots;
  __asm__("movq %%gs:" TLS_SLOTS_OFFSET ", %0" : "=r"(slots));
  if (slots == NULL || slots[_tls_index] == NULL) {
    return NULL;
  }
  return (volatile uint32_t *)(slots[_tls_index] + (address - template_start));
}

bool ind_variant_init(void) {
  volatile uint32_t *value = thread_copy_of_value();
  if (value == NULL) {
    ind_report(509, "static TLS block missing");
    return true;
  }
  if (*value != TLS_INITIAL_VALUE) {
    ind_report(509, "static TLS value wrong");
    return true;
  }
  /* The thread's copy must be writable and its own. */
  *value = ~TLS_INITIAL_VALUE;
  if (*value != ~TLS_INITIAL_VALUE || tls_value != TLS_INITIAL_VALUE) {
    ind_report(509, "static TLS value wrong");
    return true;
  }
  *value = TLS_INITIAL_VALUE;
  ind_report(508, "static TLS read");
  ind_report(1002, "static TLS confirms");
  return true;
}

void ind_variant_second(void) {
}
