#pragma once
// The crash handler: on SIGSEGV, SIGBUS, SIGFPE, SIGILL or SIGABRT it writes "testcrash.log"
// in the report folder (and the same text to standard error), starts
// `<viewer> --crash-report <absolute path of the report>` as a new process that tells the
// user, and ends the crashed process with the same signal.
//
// installCrashHandler() is called once, from the main thread, after the application object
// exists (it reads the application version and folder, and computes the report's path then:
// the handler cannot ask AppPaths). exceptionCallback runs on whichever
// thread faulted and uses only async-signal-safe calls. The alternate signal stack is set up
// for the installing thread, so a stack overflow there is reported too.
#include <QString>

#include <csignal>

struct CrashHandlerOptions
{
    // Program started with "--crash-report FILE" after the report was written; empty starts
    // nothing. Defaults to this program.
    QString reportViewer;
    // Folder that receives "testcrash.log" and in which the "dump" folder must exist or be
    // creatable; when it cannot be created the handler writes nothing and starts nothing.
    // Defaults to the data folder (AppPaths): the application folder of a build tree,
    // ~/.local/share/lumora when installed.
    QString reportFolder;
};

// The options the program itself uses: this executable as viewer, the data folder.
CrashHandlerOptions defaultCrashHandlerOptions();

// Installs exceptionCallback for the crash signals. Returns false when a signal action could
// not be set.
bool installCrashHandler(const CrashHandlerOptions &options = defaultCrashHandlerOptions());

// The signal handler itself (SA_SIGINFO form).
void exceptionCallback(int sig, siginfo_t *info, void *context);

// Name of the crash report file, in the report folder.
inline constexpr const char *kCrashReportFileName = "testcrash.log";
