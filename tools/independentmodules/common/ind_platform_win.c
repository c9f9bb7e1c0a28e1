#include "ind_platform.h"

#include <stdlib.h>
#include <windows.h>

struct ind_thread {
  HANDLE handle;
};

struct thread_start {
  void (*body)(void *arg);
  void *arg;
};

static DWORD WINAPI run_thread(LPVOID raw) {
  struct thread_start start = *(struct thread_start *)raw;
  free(raw);
  start.body(start.arg);
  return 0;
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
  thread->handle = CreateThread(NULL, 0, run_thread, start, 0, NULL);
  if (thread->handle == NULL) {
    free(thread);
    free(start);
    return NULL;
  }
  return thread;
}

bool ind_thread_join(ind_thread *thread) {
  bool joined = WaitForSingleObject(thread->handle, INFINITE) == WAIT_OBJECT_0;
  CloseHandle(thread->handle);
  free(thread);
  return joined;
}

void ind_thread_detach(ind_thread *thread) {
  CloseHandle(thread->handle);
  free(thread);
}

void ind_sleep_ms(unsigned milliseconds) {
  Sleep(milliseconds);
}
