#define _POSIX_C_SOURCE 200809L

#include "ind_platform.h"

#include <errno.h>
#include <pthread.h>
#include <stdlib.h>
#include <time.h>

struct ind_thread {
  pthread_t id;
};

struct thread_start {
  void (*body)(void *arg);
  void *arg;
};

static void *run_thread(void *raw) {
  struct thread_start start = *(struct thread_start *)raw;
  free(raw);
  start.body(start.arg);
  return NULL;
}

ind_thread *ind_thread_start(void (*body)(void *arg), void *arg) {
  ind_thread *thread = malloc(sizeof *thread);
  struct thread_start *start = malloc(sizeof *start);
  if (thread == NULL || start == NULL) {
    free(thread);
    free(start);
    return NULL;
  }
  start->body = body;
  start->arg = arg;
  if (pthread_create(&thread->id, NULL, run_thread, start) != 0) {
    free(thread);
    free(start);
    return NULL;
  }
  return thread;
}

bool ind_thread_join(ind_thread *thread) {
  bool joined = pthread_join(thread->id, NULL) == 0;
  free(thread);
  return joined;
}

void ind_thread_detach(ind_thread *thread) {
  pthread_detach(thread->id);
  free(thread);
}

void ind_sleep_ms(unsigned milliseconds) {
  struct timespec left = {milliseconds / 1000u, (long)(milliseconds % 1000u) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}
