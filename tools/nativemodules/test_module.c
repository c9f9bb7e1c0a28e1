/* A stand-in for the native build of the anti-cheat module: the four
 * entry points "a" (init), "b" (second), "c" (third) and "d" (locale) with
 * the records of the module interface, built in variants (see
 * CMakeLists.txt). Every event is one line in a marker file, named by
 * TAVRIN_TEST_MARKER or else /tmp/tavrin-native-marker-PID, so a test can
 * check what ran. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

typedef struct {
    void* context;
    int32_t code;
    const char* message;
    int32_t native_pid;
} callback_record;

typedef void (*callback_fn)(callback_record*);

typedef struct {
    uint32_t version;
    uint8_t reserved[12];
    void* context;
    const char* product;
    const char* sandbox;
    const char* deployment;
    callback_fn callback;
    const char* game_path;
    uint32_t argc;
    uint32_t padding;
    const char* const* argv;
} init_record;

typedef struct {
    uint64_t version;
    const char* language;
    const char* country;
} locale_record;

/* The Windows process id the pid-file variants hand back for this process. */
#define TEST_WINDOWS_PID 0x4D2u

static void* g_context;
static callback_fn g_callback;
static pthread_t g_thread;
static int g_thread_started;

static void marker(const char* format, ...)
{
    char path[256];
    const char* named = getenv("TAVRIN_TEST_MARKER");
    if (named && *named) {
        snprintf(path, sizeof(path), "%s", named);
    } else {
        snprintf(path, sizeof(path), "/tmp/tavrin-native-marker-%d", (int)getpid());
    }
    char line[2048];
    va_list args;
    va_start(args, format);
    int length = vsnprintf(line, sizeof(line) - 1, format, args);
    va_end(args);
    if (length < 0) {
        return;
    }
    if (length > (int)sizeof(line) - 2) {
        length = (int)sizeof(line) - 2;
    }
    line[length++] = '\n';
    int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ssize_t ignored = write(fd, line, (size_t)length);
        (void)ignored;
        close(fd);
    }
}

__attribute__((unused)) static void report(int32_t code, const char* message, int32_t native_pid)
{
    callback_record record = {g_context, code, message, native_pid};
    g_callback(&record);
}

__attribute__((unused)) static void sleep_ms(long ms)
{
    struct timespec pause = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&pause, NULL);
}

static void pid_file_path(char* path, size_t size, const char* prefix)
{
    snprintf(path, size, "/tmp/%s%X", prefix, (unsigned)getpid());
}

__attribute__((unused)) static void write_pid_file(size_t length)
{
    const unsigned value = TEST_WINDOWS_PID;
    const uint8_t bytes[4] = {value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF, value >> 24};
    char path[128];
    pid_file_path(path, sizeof(path), "kzv_wine_pid_");
#ifdef TEST_PID_LINK
    /* The real bytes elsewhere, reached through a link. */
    char target[128];
    pid_file_path(target, sizeof(target), "kzv_wine_pid_target_");
    int fd = open(target, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ssize_t ignored = write(fd, bytes, length);
        (void)ignored;
        close(fd);
    }
    unlink(path);
    if (symlink(target, path) == 0) {
        marker("pid file linked");
    }
#else
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ssize_t ignored = write(fd, bytes, length);
        (void)ignored;
#ifdef TEST_PID_FOREIGN
        /* Another user's file (possible only when the tests run as root). */
        if (fchown(fd, 65534, 65534) == 0) {
            marker("pid file foreign");
        }
#endif
        close(fd);
#ifdef TEST_PID_HARDLINK
        /* A second name for the same file. */
        char other[128];
        pid_file_path(other, sizeof(other), "kzv_wine_pid_target_");
        unlink(other);
        if (link(path, other) == 0) {
            marker("pid file hard-linked");
        }
#endif
        marker("pid file %zu", length);
    }
#endif
}

__attribute__((unused)) static int thread_id(void) { return (int)syscall(SYS_gettid); }

#ifdef TEST_REPORT_BURST
/* More reports than the launcher's queue holds, from several threads at once,
 * then the confirming one last. */
#define BURST_THREADS 3
#define BURST_EACH 100

static void* burst_thread(void* unused)
{
    (void)unused;
    for (int i = 0; i < BURST_EACH; ++i) {
        report(1003, "burst", 0);
    }
    return NULL;
}
#endif

#if defined(TEST_FAULT_IN_A) || defined(TEST_FAULT_ON_THREAD)
/* Read at run time: the compiler cannot turn the write into a trap. */
static int* volatile g_null_pointer;

static void write_through_null(void) { *g_null_pointer = 1; }
#endif

#if defined(TEST_PID_LATE) || defined(TEST_REPORT_FROM_THREAD) || defined(TEST_REPORT_BURST) || \
    defined(TEST_FAULT_ON_THREAD)
static void* module_thread(void* unused)
{
    (void)unused;
#if defined(TEST_FAULT_ON_THREAD)
    marker("thread faults");
    sleep_ms(300);
    write_through_null();
#elif defined(TEST_PID_LATE)
    sleep_ms(1500);
    write_pid_file(4);
#elif defined(TEST_REPORT_BURST)
    pthread_t threads[BURST_THREADS];
    int started = 0;
    for (; started < BURST_THREADS; ++started) {
        if (pthread_create(&threads[started], NULL, burst_thread, NULL) != 0) {
            break;
        }
    }
    for (int i = 0; i < started; ++i) {
        pthread_join(threads[i], NULL);
    }
    report(1002, "confirmed after the burst", 0);
    marker("burst of %d", started * BURST_EACH);
#else
    report(1003, "reported from a native thread", 0);
    report(509, NULL, 0);
    marker("thread reported on %d", thread_id());
#endif
    return NULL;
}
#endif

__attribute__((unused)) static void start_thread(void)
{
#if defined(TEST_PID_LATE) || defined(TEST_REPORT_FROM_THREAD) || defined(TEST_REPORT_BURST) || \
    defined(TEST_FAULT_ON_THREAD)
    g_thread_started = pthread_create(&g_thread, NULL, module_thread, NULL) == 0;
#endif
}

__attribute__((visibility("default"))) uint8_t a(init_record* record)
{
    g_context = record->context;
    g_callback = record->callback;
    marker("init %u %s %s %s %s %u", record->version, record->product, record->sandbox, record->deployment,
           record->game_path ? record->game_path : "(null)", record->argc);
    for (uint32_t i = 0; i < record->argc; ++i) {
        marker("arg %s", record->argv[i]);
    }
#if defined(TEST_FAULT_IN_A)
    write_through_null();
#elif defined(TEST_FAULT_ON_THREAD)
    /* Detached: b, which would join it, never runs. */
    start_thread();
    if (g_thread_started) {
        pthread_detach(g_thread);
        g_thread_started = 0;
    }
#elif defined(TEST_REPORT_FROM_THREAD)
    marker("init on %d", thread_id());
    start_thread();
#elif defined(TEST_REPORT_BURST)
    start_thread();
#elif defined(TEST_DEMO)
    report(508, "Create the game process.", 0);
    report(1002, "The game runs under protection (demo module).", 0);
#else
    report(508, "Create the game process.", 0);
#if defined(TEST_SUCCESS_1003)
    report(1003, NULL, 0);
#else
#if defined(TEST_PID_LATE)
    start_thread();
#elif defined(TEST_PID_SHORT)
    write_pid_file(3);
#else
    write_pid_file(4);
#endif
    report(1002, "protected", (int32_t)getpid());
#endif
#endif
    return 1;
}

__attribute__((visibility("default"))) void b(uint32_t* value)
{
    if (g_thread_started) {
        pthread_join(g_thread, NULL);
        g_thread_started = 0;
    }
    marker("second %u", value ? *value : 0u);
}

#if defined(TEST_THREAD_LOCAL_THIRD)
/* "c" names a thread-local variable: dlsym answers with this thread's copy. */
__attribute__((visibility("default"))) __thread int c = 3;
#elif defined(TEST_INDIRECT_THIRD)
/* "c" is an indirect function: its symbol's value is the resolver. */
static void third(void) { marker("third"); }
static void (*resolve_third(void))(void) { return third; }
__attribute__((visibility("default"))) void c(void) __attribute__((ifunc("resolve_third")));
#else
__attribute__((visibility("default"))) void c(void) { marker("third"); }
#endif

#ifndef TEST_WITHOUT_LOCALE
__attribute__((visibility("default"))) void d(locale_record* record)
{
    marker("locale %llu %s %s", (unsigned long long)record->version, record->language, record->country);
}
#endif
