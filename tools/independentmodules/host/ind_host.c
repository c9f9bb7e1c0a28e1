/* Stands in for a loader to check the independent modules without the
 * launcher: lays the records out from the documented byte offsets, calls
 * locale, init, waits for the confirmation, calls second, waits for late
 * reports, then checks the reports and the module's event log.
 *   ind_host MODULE VARIANT      (VARIANT: a variant name, or "rejected" to
 *                                 pass a version 3 record instead)
 * Native build: MODULE is a .so, entry points by name. Windows build:
 * MODULE is a DLL loaded by the system loader, entry points by ordinal.
 * Set TAVRIN_INDEPENDENT_MODULE_LOG to a fresh file to check the log too.
 * Exit code 0 when every check passed. */
#define _POSIX_C_SOURCE 200809L

#include <stdatomic.h>
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <pthread.h>
#include <time.h>
#endif

struct report_record {
  void *context;
  int32_t code;
  const char *message;
  int32_t native_pid;
};

typedef unsigned char (*init_entry)(const void *record);
typedef void (*second_entry)(const uint32_t *value);
typedef void (*third_entry)(void);
typedef void (*locale_entry)(const void *record);

struct entries {
  init_entry init;
  second_entry second;
  third_entry third;
  locale_entry locale;
};

/* --- platform ---------------------------------------------------------- */

#ifdef _WIN32
typedef DWORD thread_id;
static thread_id current_thread(void) { return GetCurrentThreadId(); }
static bool same_thread(thread_id a, thread_id b) { return a == b; }
static void sleep_ms(unsigned ms) { Sleep(ms); }
static unsigned long long now_ms(void) { return GetTickCount64(); }

static bool load_entries(const char *path, struct entries *out) {
  HMODULE module = LoadLibraryA(path);
  if (module == NULL) {
    fprintf(stderr, "LoadLibrary %s failed: %lu\n", path, GetLastError());
    return false;
  }
  /* Ordinal p + 1 is export position p. */
  out->init = (init_entry)(void (*)(void))GetProcAddress(module, MAKEINTRESOURCEA(1));
  out->second = (second_entry)(void (*)(void))GetProcAddress(module, MAKEINTRESOURCEA(2));
  out->third = (third_entry)(void (*)(void))GetProcAddress(module, MAKEINTRESOURCEA(3));
  out->locale = (locale_entry)(void (*)(void))GetProcAddress(module, MAKEINTRESOURCEA(5));
  return true;
}
#else
typedef pthread_t thread_id;
static thread_id current_thread(void) { return pthread_self(); }
static bool same_thread(thread_id a, thread_id b) { return pthread_equal(a, b) != 0; }
static void sleep_ms(unsigned ms) {
  struct timespec t = {ms / 1000u, (long)(ms % 1000u) * 1000000L};
  nanosleep(&t, NULL);
}
static unsigned long long now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (unsigned long long)t.tv_sec * 1000u + (unsigned long long)t.tv_nsec / 1000000u;
}

static void *symbol(void *module, const char *name) {
  void *address = dlsym(module, name);
  if (address == NULL) {
    fprintf(stderr, "no symbol %s\n", name);
  }
  return address;
}

static bool load_entries(const char *path, struct entries *out) {
  void *module = dlopen(path, RTLD_LAZY | RTLD_LOCAL);
  if (module == NULL) {
    fprintf(stderr, "dlopen %s failed: %s\n", path, dlerror());
    return false;
  }
  /* Never closed: module threads may outlive second. */
  *(void **)&out->init = symbol(module, "a");
  *(void **)&out->second = symbol(module, "b");
  *(void **)&out->third = symbol(module, "c");
  *(void **)&out->locale = symbol(module, "d");
  return true;
}
#endif

/* --- what the callback saw ---------------------------------------------- */

#define BURST_THREADS 4
#define BURST_MAX_SEQUENCE 250

static char host_context;
static thread_id init_thread;
static unsigned long long started_ms;
static atomic_bool in_init;
static atomic_bool init_returned;
static atomic_bool in_second;
static atomic_bool second_returned;

static atomic_int reports;
static atomic_int first_code;
static atomic_int last_code;
static atomic_int code_1003;
static atomic_bool confirmed;
static atomic_bool failed_report;
static atomic_int wrong_context;
static atomic_int nonzero_pid;
static atomic_int after_second_reports;
static atomic_bool request_inside_init;
static atomic_bool request_after_init;
static atomic_bool confirm_inside_init;
static atomic_bool from_second_inside;
static atomic_bool after_second_after_return;
static atomic_int burst_bad_messages;
static atomic_uchar burst_seen[BURST_THREADS + 1][BURST_MAX_SEQUENCE + 1];

static void note_burst_message(const char *message) {
  int thread = 0;
  int sequence = 0;
  char tail;
  if (message == NULL || sscanf(message, "burst %d/%d%c", &thread, &sequence, &tail) != 2 || thread < 1 ||
      thread > BURST_THREADS || sequence < 1 || sequence > BURST_MAX_SEQUENCE ||
      atomic_exchange(&burst_seen[thread][sequence], 1) != 0) {
    atomic_fetch_add(&burst_bad_messages, 1);
  }
}

static void on_report(const struct report_record *record) {
  int count = atomic_fetch_add(&reports, 1) + 1;
  int code = record->code;
  bool inside_init = atomic_load(&in_init) && same_thread(current_thread(), init_thread);
  if (count == 1) {
    atomic_store(&first_code, code);
  }
  atomic_store(&last_code, code);
  if (record->context != &host_context) {
    atomic_fetch_add(&wrong_context, 1);
  }
  if (record->native_pid != 0) {
    atomic_fetch_add(&nonzero_pid, 1);
  }
  if (atomic_load(&second_returned)) {
    atomic_fetch_add(&after_second_reports, 1);
  }
  const char *message = record->message;
  if (code == 508) {
    atomic_store(inside_init ? &request_inside_init : &request_after_init,
                 inside_init || atomic_load(&init_returned));
  } else if (code == 1002) {
    atomic_store(&confirm_inside_init, inside_init);
    atomic_store(&confirmed, true);
  } else if (code == 1003) {
    atomic_fetch_add(&code_1003, 1);
    if (message != NULL && strcmp(message, "from second") == 0) {
      atomic_store(&from_second_inside, atomic_load(&in_second));
    } else if (message != NULL && strcmp(message, "after second") == 0) {
      atomic_store(&after_second_after_return, atomic_load(&second_returned));
    } else {
      note_burst_message(message);
      return;
    }
  } else {
    atomic_store(&failed_report, true);
  }
  printf("%6llu ms  report %d  \"%.200s\"%s\n", now_ms() - started_ms, code, message ? message : "(null)",
         inside_init ? "  (inside init)" : "");
  fflush(stdout);
}

/* --- expectations ----------------------------------------------------- */

enum thread_rule { ANY_THREAD, INSIDE_INIT, AFTER_INIT };

struct expectation {
  const char *variant;
  int reports;
  enum thread_rule rule;
  const char *log[10];
};

#define LOG_START "locale en us", "init 2 ind-product ind-sandbox ind-deployment"
static const struct expectation expectations[] = {
    {"thread_confirm", 2, AFTER_INIT, {LOG_START, "report 508", "report 1002", "second 1"}},
    {"burst", 1000, ANY_THREAD, {LOG_START, "report 508", "burst 998", "report 1002", "second 1"}},
    {"second_reports", 4, ANY_THREAD,
     {LOG_START, "report 508", "report 1002", "second 1", "report 1003", "report 1003", "after-second sent"}},
    {"slow_init", 2, INSIDE_INIT, {LOG_START, "report 508", "report 1002", "second 1"}},
    {"lingering", 2, AFTER_INIT, {LOG_START, "report 508", "report 1002", "second 1"}},
    {"cxx_crt", 2, AFTER_INIT, {LOG_START, "report 508", "report 1002", "second 1"}},
    {"static_tls", 2, INSIDE_INIT, {LOG_START, "report 508", "report 1002", "second 1"}},
    {"rejected", 0, ANY_THREAD, {"locale en us", "init-rejected version 3", "second 1"}},
};

static int failures;

static void check(bool ok, const char *what) {
  printf("%s  %s\n", ok ? "ok  " : "FAIL", what);
  if (!ok) {
    failures++;
  }
}

static void check_log(const struct expectation *expected) {
  const char *path = getenv("TAVRIN_INDEPENDENT_MODULE_LOG");
  if (path == NULL || path[0] == '\0') {
    printf("skip  event log (TAVRIN_INDEPENDENT_MODULE_LOG unset)\n");
    return;
  }
  FILE *file = fopen(path, "rb");
  if (file == NULL) {
    check(false, "event log exists");
    return;
  }
  char line[512];
  size_t index = 0;
  bool matches = true;
  while (fgets(line, sizeof line, file) != NULL) {
    line[strcspn(line, "\n")] = '\0';
    printf("      log: %s\n", line);
    const char *want = index < sizeof expected->log / sizeof expected->log[0] ? expected->log[index] : NULL;
    if (want == NULL || strcmp(line, want) != 0) {
      matches = false;
    }
    index++;
  }
  fclose(file);
  if (index < sizeof expected->log / sizeof expected->log[0] && expected->log[index] != NULL) {
    matches = false;
  }
  check(matches, "event log holds exactly the expected lines");
}

static void check_reports(const struct expectation *expected) {
  check(atomic_load(&reports) == expected->reports, "number of reports");
  check(atomic_load(&wrong_context) == 0, "every report carries the context as given");
  check(atomic_load(&nonzero_pid) == 0, "no native process id");
  check(!atomic_load(&failed_report), "no failure code reported");
  if (expected->reports == 0) {
    return;
  }
  check(atomic_load(&first_code) == 508, "508 comes first");
  check(atomic_load(&confirmed), "1002 reported");
  if (expected->rule == INSIDE_INIT) {
    check(atomic_load(&request_inside_init) && atomic_load(&confirm_inside_init),
          "508 and 1002 come from inside init, on the calling thread");
  } else if (expected->rule == AFTER_INIT) {
    check(atomic_load(&request_after_init), "508 comes from another thread after init returned");
  }
  if (strcmp(expected->variant, "burst") == 0) {
    check(atomic_load(&code_1003) == 998 && atomic_load(&burst_bad_messages) == 0,
          "998 distinct burst reports");
    check(atomic_load(&last_code) == 1002, "1002 comes last");
  }
  if (strcmp(expected->variant, "second_reports") == 0) {
    check(atomic_load(&from_second_inside), "\"from second\" comes while second runs");
    check(atomic_load(&after_second_after_return), "\"after second\" comes after second returned");
  } else {
    check(atomic_load(&after_second_reports) == 0, "nothing after second returned");
  }
}

/* --- the run ------------------------------------------------------------ */

static void put_pointer(unsigned char *record, size_t offset, const void *pointer) {
  memcpy(record + offset, &pointer, sizeof pointer);
}

static void put_u32(unsigned char *record, size_t offset, uint32_t value) {
  memcpy(record + offset, &value, sizeof value);
}

static const struct expectation *find_expectation(const char *variant) {
  for (size_t i = 0; i < sizeof expectations / sizeof expectations[0]; i++) {
    if (strcmp(expectations[i].variant, variant) == 0) {
      return &expectations[i];
    }
  }
  return NULL;
}

int main(int argc, char **argv) {
  if (argc != 3 || find_expectation(argv[2]) == NULL) {
    fprintf(stderr, "usage: ind_host MODULE VARIANT\n");
    return 2;
  }
  const struct expectation *expected = find_expectation(argv[2]);
  struct entries entries = {0};
  if (!load_entries(argv[1], &entries)) {
    return 1;
  }
  check(entries.init && entries.second && entries.third && entries.locale, "all four entry points resolve");
  if (failures) {
    return 1;
  }
  started_ms = now_ms();

  struct {
    uint64_t tag;
    const char *language;
    const char *country;
  } locale = {1, "en", "us"};
  entries.locale(&locale);

  unsigned char init_record[80] = {0};
  put_u32(init_record, 0, strcmp(expected->variant, "rejected") == 0 ? 3 : 2);
  put_pointer(init_record, 16, &host_context);
  put_pointer(init_record, 24, "ind-product");
  put_pointer(init_record, 32, "ind-sandbox");
  put_pointer(init_record, 40, "ind-deployment");
  void (*callback)(const struct report_record *) = on_report;
  memcpy(init_record + 48, &callback, sizeof callback);
#ifndef _WIN32
  static const char *const arguments[] = {"Z:\\tmp\\game\\game.exe", "-windowed"};
  put_pointer(init_record, 56, "/tmp/game/game.exe");
  put_u32(init_record, 64, 2);
  put_pointer(init_record, 72, arguments);
#endif

  init_thread = current_thread();
  atomic_store(&in_init, true);
  unsigned char init_result = entries.init(init_record);
  atomic_store(&in_init, false);
  atomic_store(&init_returned, true);
  printf("%6llu ms  init returned %u\n", now_ms() - started_ms, init_result);
#ifdef _WIN32
  check(init_result == (expected->reports > 0 ? 1 : 0), "init's result");
#endif

  int wait_limit_ms = expected->reports > 0 ? 20000 : 1000;
  for (int waited = 0; waited < wait_limit_ms && !atomic_load(&confirmed) && !atomic_load(&failed_report);
       waited += 10) {
    sleep_ms(10);
  }
  sleep_ms(300);

  uint32_t one = 1;
  atomic_store(&in_second, true);
  entries.second(&one);
  atomic_store(&in_second, false);
  atomic_store(&second_returned, true);
  printf("%6llu ms  second returned\n", now_ms() - started_ms);
  sleep_ms(1000);

  check_reports(expected);
  check_log(expected);
  printf("%s: %s\n", expected->variant, failures == 0 ? "all checks passed" : "FAILED");
  fflush(stdout);
  /* Lingering module threads end with the process. */
  exit(failures == 0 ? 0 : 1);
}
