/* 1000 reports in all: 508 first, 998 times 1003 from four threads at once,
 * 1002 last. Only the first and last are logged one by one. */
#include <stdatomic.h>
#include <stdio.h>

#include "ind_log.h"
#include "ind_module.h"
#include "ind_platform.h"

#define BURST_THREADS 4
#define BURST_REPORTS 998

struct burst_share {
  int thread_number;
  int count;
};

static atomic_int reports_sent;

static void send_share(void *raw) {
  const struct burst_share *share = raw;
  for (int sequence = 1; sequence <= share->count; sequence++) {
    char message[64];
    snprintf(message, sizeof message, "burst %d/%d", share->thread_number, sequence);
    ind_report_unlogged(1003, message);
    atomic_fetch_add(&reports_sent, 1);
  }
}

static bool run_burst(void) {
  struct burst_share shares[BURST_THREADS];
  ind_thread *threads[BURST_THREADS];
  int started = 0;
  for (int i = 0; i < BURST_THREADS; i++) {
    shares[i].thread_number = i + 1;
    shares[i].count = BURST_REPORTS / BURST_THREADS + (i < BURST_REPORTS % BURST_THREADS ? 1 : 0);
    threads[i] = ind_thread_start(send_share, &shares[i]);
    if (threads[i] == NULL) {
      break;
    }
    started++;
  }
  bool joined = true;
  for (int i = 0; i < started; i++) {
    joined = ind_thread_join(threads[i]) && joined;
  }
  return started == BURST_THREADS && joined;
}

static void report_burst(void *unused) {
  (void)unused;
  ind_report(508, "burst begins");
  bool complete = run_burst();
  ind_log("burst %d", atomic_load(&reports_sent));
  if (!complete) {
    ind_report(509, "burst thread failed");
    return;
  }
  ind_report(1002, "burst done");
}

bool ind_variant_init(void) {
  ind_thread *thread = ind_thread_start(report_burst, NULL);
  if (thread == NULL) {
    return false;
  }
  ind_thread_detach(thread);
  return true;
}

void ind_variant_second(void) {
}
