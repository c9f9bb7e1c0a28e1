/* The records exchanged with the loader, read field by field from the byte
 * offsets the loader documents; nothing here trusts the loader's struct
 * packing to match this compiler's. */
#ifndef IND_RECORDS_H
#define IND_RECORDS_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define IND_INIT_RECORD_VERSION 2u
#define IND_INIT_RECORD_SIZE 80u
#define IND_LOCALE_RECORD_TAG 1u

/* The record the module hands to the loader's callback: pointer-sized
 * fields on 8-byte boundaries, so offsets 0, 8, 16 and 24 on x86-64. */
struct ind_callback_record {
  void *context;
  int32_t code;
  const char *message;
  int32_t native_pid;
};

typedef void (*ind_callback)(const struct ind_callback_record *record);

struct ind_init_fields {
  uint32_t version;
  void *context;
  const char *product;
  const char *sandbox;
  const char *deployment;
  ind_callback callback;
  const char *game_path;
  uint32_t argument_count;
  const char *const *arguments;
};

struct ind_locale_fields {
  uint64_t tag;
  const char *language;
  const char *country;
};

/* False for a null record; the fields are then untouched. */
bool ind_read_init_record(const void *record, struct ind_init_fields *out);
bool ind_read_locale_record(const void *record, struct ind_locale_fields *out);

#ifdef __cplusplus
}
#endif

#endif
