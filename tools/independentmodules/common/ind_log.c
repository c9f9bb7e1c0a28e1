#include "ind_log.h"

#include <stdarg.h>
#include <stdio.h>

/* Lines are short; a longer one is cut rather than split, so that every
 * write stays one whole line. */
#define IND_LOG_LINE_MAX 1024

const char *ind_log_text(const char *text) {
  return text != NULL ? text : "(null)";
}

void ind_log(const char *format, ...) {
  char line[IND_LOG_LINE_MAX];
  va_list args;
  va_start(args, format);
  int length = vsnprintf(line, sizeof line - 1, format, args);
  va_end(args);
  if (length < 0) {
    return;
  }
  if ((size_t)length > sizeof line - 2) {
    length = (int)(sizeof line - 2);
  }
  line[length++] = '\n';
  ind_log_append(line, (size_t)length);
}
