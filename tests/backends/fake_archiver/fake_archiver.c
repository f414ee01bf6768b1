/* Stand-in for an archiver library in the archive layer's tests.
 *
 * Built once per library name and variant.  Every call appends one line to
 * the file named by QVO_FAKE_LOG:
 *   <library>\tversion
 *   <library>\tcommand\t<command line>\t<current directory>\t<argument check>
 * where the argument check reads "hwnd=0 output=0 size=0" when the caller
 * passed no window, no output buffer and size 0.  The command returns
 * QVO_FAKE_RESULT (default 0); the version query returns QVO_FAKE_VERSION
 * when set, otherwise FAKE_VERSION.
 *
 * The "crashes" variant (FAKE_FORWARD) records nothing: the real library
 * of the folder QVO_FAKE_REAL_DIR answers every call, except that a
 * command line holding QVO_FAKE_CRASH_ON kills the process, as a crash in
 * the library would. */
#include "archivers/include/qvo_archiver.h"

#include <dlfcn.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define FAKE_NAME_OF(function) #function
#define FAKE_NAME(function) FAKE_NAME_OF(function)

#ifdef FAKE_FORWARD
static void *realFunction(const char *name)
{
    static void *library;
    if (!library) {
        const char *dir = getenv("QVO_FAKE_REAL_DIR");
        char path[4096];
        snprintf(path, sizeof path, "%s/%s.so", dir ? dir : ".", FAKE_LIBRARY);
        library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    }
    return library ? dlsym(library, name) : NULL;
}

QVO_ARCHIVER_EXPORT int32_t FAKE_VERSION_FUNCTION(void)
{
    QvoVersionFunction *real = (QvoVersionFunction *)realFunction(FAKE_NAME(FAKE_VERSION_FUNCTION));
    return real ? real() : 0;
}

QVO_ARCHIVER_EXPORT int32_t FAKE_COMMAND_FUNCTION(void *hwnd, const char *cmdLine, char *output, uint32_t outputSize)
{
    const char *crashOn = getenv("QVO_FAKE_CRASH_ON");
    if (crashOn && *crashOn && cmdLine && strstr(cmdLine, crashOn))
        raise(SIGKILL);
    QvoCommandFunction *real = (QvoCommandFunction *)realFunction(FAKE_NAME(FAKE_COMMAND_FUNCTION));
    return real ? real(hwnd, cmdLine, output, outputSize) : 0x80FF; /* the real library is missing */
}
#else

static void record(const char *what, const char *cmdLine, const char *args)
{
    const char *logName = getenv("QVO_FAKE_LOG");
    if (!logName || !*logName)
        return;
    FILE *log = fopen(logName, "a");
    if (!log)
        return;
    if (cmdLine) {
        char cwd[4096];
        if (!getcwd(cwd, sizeof cwd))
            snprintf(cwd, sizeof cwd, "?");
        fprintf(log, "%s\t%s\t%s\t%s\t%s\n", FAKE_LIBRARY, what, cmdLine, cwd, args);
    } else {
        fprintf(log, "%s\t%s\n", FAKE_LIBRARY, what);
    }
    fclose(log);
}

static int32_t envNumber(const char *name, int32_t fallback)
{
    const char *text = getenv(name);
    return (text && *text) ? (int32_t)strtol(text, NULL, 10) : fallback;
}

#ifdef FAKE_VERSION_FUNCTION
QVO_ARCHIVER_EXPORT int32_t FAKE_VERSION_FUNCTION(void)
{
    record("version", NULL, NULL);
    return envNumber("QVO_FAKE_VERSION", FAKE_VERSION);
}
#endif

#ifdef FAKE_COMMAND_FUNCTION
QVO_ARCHIVER_EXPORT int32_t FAKE_COMMAND_FUNCTION(void *hwnd, const char *cmdLine, char *output, uint32_t outputSize)
{
    char args[64];
    snprintf(args, sizeof args, "hwnd=%d output=%d size=%u", hwnd != NULL, output != NULL,
             (unsigned)outputSize);
    record("command", cmdLine ? cmdLine : "(null)", args);
    return envNumber("QVO_FAKE_RESULT", 0);
}
#endif
#endif
