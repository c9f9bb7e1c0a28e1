#include "ind_module.h"

#include <inttypes.h>
#include <stdatomic.h>
#include <stddef.h>

#include "ind_log.h"
#include "ind_platform.h"
#include "ind_records.h"

#define IND_POLL_MS 10u

/* Written once by init before any module thread starts; read afterwards. */
static void *received_context;
static ind_callback received_callback;

static atomic_bool init_accepted;
static atomic_bool init_returned;
static atomic_bool second_returned;

static bool accept_init(const void *record) {
  struct ind_init_fields fields;
  if (!ind_read_init_record(record, &fields)) {
    ind_log("init-rejected null");
    return false;
  }
  if (fields.version != IND_INIT_RECORD_VERSION) {
    ind_log("init-rejected version %" PRIu32, fields.version);
    return false;
  }
  if (fields.callback == NULL) {
    ind_log("init-rejected callback");
    return false;
  }
  if (atomic_exchange(&init_accepted, true)) {
    ind_log("init-rejected again");
    return false;
  }
  received_context = fields.context;
  received_callback = fields.callback;
  ind_log("init %" PRIu32 " %.*s %.*s %.*s", fields.version, IND_LOG_TEXT_MAX, ind_log_text(fields.product),
          IND_LOG_TEXT_MAX, ind_log_text(fields.sandbox), IND_LOG_TEXT_MAX, ind_log_text(fields.deployment));
  return true;
}

unsigned char ind_module_init(const void *record) {
  if (!accept_init(record)) {
    return 0;
  }
  bool started = ind_variant_init();
  atomic_store(&init_returned, true);
  return started ? 1 : 0;
}

void ind_module_second(const uint32_t *value) {
  if (value != NULL) {
    ind_log("second %" PRIu32, *value);
  } else {
    ind_log("second (null)");
  }
  ind_variant_second();
  atomic_store(&second_returned, true);
}

void ind_module_third(void) {
  ind_log("third");
}

void ind_module_locale(const void *record) {
  struct ind_locale_fields fields;
  if (!ind_read_locale_record(record, &fields)) {
    ind_log("locale-rejected null");
    return;
  }
  if (fields.tag != IND_LOCALE_RECORD_TAG) {
    ind_log("locale-rejected tag %" PRIu64, fields.tag);
    return;
  }
  ind_log("locale %.*s %.*s", IND_LOG_TEXT_MAX, ind_log_text(fields.language), IND_LOG_TEXT_MAX,
          ind_log_text(fields.country));
}

void ind_report_unlogged(int32_t code, const char *message) {
  if (!atomic_load(&init_accepted)) {
    return;
  }
  struct ind_callback_record record = {received_context, code, message, 0};
  received_callback(&record);
}

void ind_report(int32_t code, const char *message) {
  if (!atomic_load(&init_accepted)) {
    return;
  }
  /* Logged first: a loader may end the process from inside the callback. */
  ind_log("report %" PRId32, code);
  ind_report_unlogged(code, message);
}

static void wait_for(atomic_bool *flag, unsigned settle_ms) {
  while (!atomic_load(flag)) {
    ind_sleep_ms(IND_POLL_MS);
  }
  ind_sleep_ms(settle_ms);
}

void ind_wait_until_init_returned(unsigned settle_ms) {
  wait_for(&init_returned, settle_ms);
}

void ind_wait_until_second_returned(unsigned settle_ms) {
  wait_for(&second_returned, settle_ms);
}
