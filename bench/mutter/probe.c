/* Start-up probe for bench/mutter/load-cost.sh, built as a static position-independent
 * program like tavelon.
 *   probe [library...]  loads each library (dlopen, RTLD_NOW) and exits;
 *   probe --steps       loads libsystemd, opens the session bus, waits for the answer to
 *                       Hello and calls GetCurrentState, then prints the time of each of
 *                       the four steps in ms. */
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

typedef struct sd_bus sd_bus;
typedef struct sd_bus_message sd_bus_message;
typedef struct {
  const char *name, *message;
  int need_free;
} sd_bus_error;

static double Now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

static int Steps(void) {
  double start = Now();
  void *library = dlopen("libsystemd.so.0", RTLD_NOW | RTLD_LOCAL);
  if (library == NULL) return 1;
  double loaded = Now();
  int (*openUser)(sd_bus **) = (int (*)(sd_bus **))dlsym(library, "sd_bus_open_user");
  int (*uniqueName)(sd_bus *, const char **) =
      (int (*)(sd_bus *, const char **))dlsym(library, "sd_bus_get_unique_name");
  int (*callMethod)(sd_bus *, const char *, const char *, const char *, const char *,
                    sd_bus_error *, sd_bus_message **, const char *, ...) =
      (int (*)(sd_bus *, const char *, const char *, const char *, const char *,
               sd_bus_error *, sd_bus_message **, const char *, ...))
          dlsym(library, "sd_bus_call_method");
  sd_bus *bus = NULL;
  if (openUser == NULL || uniqueName == NULL || callMethod == NULL || openUser(&bus) < 0) return 2;
  double opened = Now();
  const char *name = NULL;
  if (uniqueName(bus, &name) < 0) return 3;  /* waits for the answer to Hello */
  double greeted = Now();
  sd_bus_error error = {NULL, NULL, 0};
  sd_bus_message *reply = NULL;
  if (callMethod(bus, "org.gnome.Mutter.DisplayConfig", "/org/gnome/Mutter/DisplayConfig",
                 "org.gnome.Mutter.DisplayConfig", "GetCurrentState", &error, &reply, "") < 0)
    return 4;
  double answered = Now();
  printf("%.3f %.3f %.3f %.3f\n", loaded - start, opened - loaded, greeted - opened,
         answered - greeted);
  return 0;
}

int main(int argc, char **argv) {
  if (argc == 2 && strcmp(argv[1], "--steps") == 0) return Steps();
  for (int i = 1; i < argc; ++i)
    if (dlopen(argv[i], RTLD_NOW | RTLD_LOCAL) == NULL) return 1;
  return 0;
}
