#define _POSIX_C_SOURCE 200809L

#include "ind_log.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

void ind_log_append(const char *line, size_t length) {
  const char *path = getenv("TAVRIN_INDEPENDENT_MODULE_LOG");
  if (path == NULL || path[0] == '\0') {
    return;
  }
  int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    return;
  }
  ssize_t written = write(fd, line, length);
  (void)written;
  close(fd);
}
