#include "ind_records.h"

#include <string.h>

_Static_assert(offsetof(struct ind_callback_record, context) == 0, "callback record layout");
_Static_assert(offsetof(struct ind_callback_record, code) == 8, "callback record layout");
_Static_assert(offsetof(struct ind_callback_record, message) == 16, "callback record layout");
_Static_assert(offsetof(struct ind_callback_record, native_pid) == 24, "callback record layout");
_Static_assert(sizeof(void *) == 8, "the records are laid out for 64-bit code");

static uint32_t read_u32(const unsigned char *bytes, size_t offset) {
  uint32_t value;
  memcpy(&value, bytes + offset, sizeof value);
  return value;
}

static uint64_t read_u64(const unsigned char *bytes, size_t offset) {
  uint64_t value;
  memcpy(&value, bytes + offset, sizeof value);
  return value;
}

static void *read_pointer(const unsigned char *bytes, size_t offset) {
  void *value;
  memcpy(&value, bytes + offset, sizeof value);
  return value;
}

bool ind_read_init_record(const void *record, struct ind_init_fields *out) {
  if (record == NULL) {
    return false;
  }
  const unsigned char *bytes = record;
  out->version = read_u32(bytes, 0);
  /* A record of another version may be shorter: read nothing past the
   * version until it is known to be ours. */
  if (out->version != IND_INIT_RECORD_VERSION) {
    return true;
  }
  out->context = read_pointer(bytes, 16);
  out->product = read_pointer(bytes, 24);
  out->sandbox = read_pointer(bytes, 32);
  out->deployment = read_pointer(bytes, 40);
  memcpy(&out->callback, bytes + 48, sizeof out->callback);
  out->game_path = read_pointer(bytes, 56);
  out->argument_count = read_u32(bytes, 64);
  out->arguments = read_pointer(bytes, 72);
  return true;
}

bool ind_read_locale_record(const void *record, struct ind_locale_fields *out) {
  if (record == NULL) {
    return false;
  }
  const unsigned char *bytes = record;
  out->tag = read_u64(bytes, 0);
  out->language = read_pointer(bytes, 8);
  out->country = read_pointer(bytes, 16);
  return true;
}
