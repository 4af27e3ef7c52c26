#include "core/platform/crashhandler.h"

#include "core/platform/apppaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <ucontext.h>
#include <unistd.h>

extern char **environ;

namespace {

// Everything the handler needs is prepared here at install time, so that the handler itself
// allocates nothing and calls nothing that is not async-signal-safe.
constexpr int kPathMax = 4096;
constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

struct Prepared
{
    char version[64] = {};
    char executable[kPathMax] = {};
    char viewer[kPathMax] = {};
    char dumpDir[kPathMax] = {};
    char reportFile[kPathMax] = {};
    const void *executableBase = nullptr;
    int probe[2] = {-1, -1};  // pipe used to test whether memory is readable
};

Prepared g_prepared;
std::atomic<int> g_handling{0};
constexpr size_t kAltStackSize = 64 * 1024;
alignas(16) char g_altStack[kAltStackSize];
char g_report[32 * 1024];

void copyString(char *dest, size_t size, const QByteArray &src)
{
    const size_t n = std::min(size - 1, size_t(src.size()));
    std::memcpy(dest, src.constData(), n);
    dest[n] = '\0';
}

// Raw system calls: the sanitizers' interceptors are kept out of the handler.
ssize_t rawWrite(int fd, const void *data, size_t size)
{
    return ssize_t(::syscall(SYS_write, fd, data, size));
}

void writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = rawWrite(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        size -= size_t(n);
    }
}

// Reads one byte at address without faulting: the kernel copies it into the probe pipe, or
// refuses with EFAULT when the address is not readable.
bool readByte(uintptr_t address, unsigned char *out)
{
    if (g_prepared.probe[0] < 0)
        return false;
    if (rawWrite(g_prepared.probe[1], reinterpret_cast<const void *>(address), 1) != 1)
        return false;
    return ::syscall(SYS_read, g_prepared.probe[0], out, 1) == 1;
}

bool readWord(uintptr_t address, uintptr_t *out)
{
    unsigned char bytes[sizeof(uintptr_t)];
    for (size_t i = 0; i < sizeof bytes; ++i) {
        if (!readByte(address + i, &bytes[i]))
            return false;
    }
    std::memcpy(out, bytes, sizeof bytes);
    return true;
}

// Appends text to the fixed report buffer; silently stops at its end.
class ReportText
{
public:
    void add(const char *text) { addN(text, std::strlen(text)); }
    void addN(const char *text, size_t n)
    {
        const size_t room = sizeof g_report - 1 - m_size;
        n = std::min(n, room);
        std::memcpy(g_report + m_size, text, n);
        m_size += n;
    }
    void hex(uint64_t value, int digits)
    {
        char buf[16];
        for (int i = digits - 1; i >= 0; --i) {
            buf[i] = "0123456789ABCDEF"[value & 0xF];
            value >>= 4;
        }
        addN(buf, size_t(digits));
    }
    void address(uint64_t value) { hex(value, 16); }
    void decimal(long value)
    {
        char buf[24];
        int i = sizeof buf;
        const bool negative = value < 0;
        unsigned long v =
            negative ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
        do {
            buf[--i] = char('0' + v % 10);
            v /= 10;
        } while (v != 0);
        if (negative)
            buf[--i] = '-';
        addN(buf + i, sizeof buf - size_t(i));
    }
    size_t size() const { return m_size; }

private:
    size_t m_size = 0;
};

// Full path of the module holding address; false when it lies in none.
bool moduleOf(uintptr_t address, const char **path)
{
    Dl_info info;
    if (address == 0 || ::dladdr(reinterpret_cast<void *>(address), &info) == 0 ||
        info.dli_fname == nullptr)
        return false;
    // The loader names the program itself by argv[0], which may be relative.
    if (info.dli_fbase == g_prepared.executableBase || info.dli_fname[0] == '\0')
        *path = g_prepared.executable;
    else
        *path = info.dli_fname;
    return true;
}

const char *signalName(int sig)
{
    switch (sig) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGABRT: return "SIGABRT";
    default: return "signal";
    }
}

void addStackEntry(ReportText &text, uintptr_t address)
{
    text.add("\n");
    text.address(address);
    text.add("  ");
    const char *module = nullptr;
    if (moduleOf(address, &module))
        text.add(module);
}

void addCallStack(ReportText &text, const ucontext_t *uc)
{
    text.add("\nCall Stack:");
    const uintptr_t rip = uintptr_t(uc->uc_mcontext.gregs[REG_RIP]);
    // The unwinder reads the code at an address it has no unwind information for, and would
    // fault again on an unreadable one.
    unsigned char probe = 0;
    void *frames[64];
    const int count = readByte(rip, &probe) ? ::backtrace(frames, 64) : 0;
    // The first frames are this handler and the signal trampoline; the walk through the
    // signal frame resumes exactly at the faulting instruction.
    for (int i = 0; i < count; ++i) {
        if (uintptr_t(frames[i]) != rip)
            continue;
        for (int j = i; j < count; ++j)
            addStackEntry(text, uintptr_t(frames[j]));
        return;
    }
    // The unwinder found no frame for the faulting address (a jump to a bad address): report
    // it and the return address on top of the stack, which names the caller.
    addStackEntry(text, rip);
    uintptr_t returnAddress = 0;
    if (readWord(uintptr_t(uc->uc_mcontext.gregs[REG_RSP]), &returnAddress) && returnAddress != 0)
        addStackEntry(text, returnAddress);
}

void addRegisters(ReportText &text, const ucontext_t *uc)
{
    static const struct
    {
        const char *label;
        int reg;
    } rows[][4] = {
        {{"RAX", REG_RAX}, {"RBX", REG_RBX}, {"RCX", REG_RCX}, {"RDX", REG_RDX}},
        {{"RSI", REG_RSI}, {"RDI", REG_RDI}, {"RSP", REG_RSP}, {"RBP", REG_RBP}},
        {{"R8 ", REG_R8}, {"R9 ", REG_R9}, {"R10", REG_R10}, {"R11", REG_R11}},
        {{"R12", REG_R12}, {"R13", REG_R13}, {"R14", REG_R14}, {"R15", REG_R15}},
    };
    text.add("\nRegisters: ");
    for (const auto &row : rows) {
        text.add("\n");
        for (int i = 0; i < 4; ++i) {
            if (i > 0)
                text.add("  ");
            text.add(row[i].label);
            text.add(": ");
            text.address(uint64_t(uc->uc_mcontext.gregs[row[i].reg]));
        }
    }
    text.add("\nRIP: ");
    text.address(uint64_t(uc->uc_mcontext.gregs[REG_RIP]));
    text.add("  EFlags: ");
    text.hex(uint64_t(uc->uc_mcontext.gregs[REG_EFL]), 8);
}

size_t buildReport(int sig, const siginfo_t *info, const ucontext_t *uc)
{
    ReportText text;
    text.add("APP Version: ");
    text.add(g_prepared.version);
    text.add("\n");

    struct utsname os;
    text.add("Linux:  ");
    if (::uname(&os) == 0) {
        text.add(os.sysname);
        text.add(" ");
        text.add(os.release);
        text.add(", ");
        text.add(os.version);
        text.add(", ");
        text.add(os.machine);
    }
    text.add("\n");
    text.add("GraphicsCard: SoundDevice: ");
    text.add("Process:  ");
    text.add(g_prepared.executable);
    text.add("\n");

    if (uc != nullptr) {
        const uintptr_t rip = uintptr_t(uc->uc_mcontext.gregs[REG_RIP]);
        text.add("Exception Addr:  ");
        text.address(rip);
        text.add("  ");
        const char *module = nullptr;
        if (moduleOf(rip, &module)) {
            text.add(" Module: ");
            text.add(module);
        }
        text.add("\nException Code:  ");
        text.hex(uint64_t(sig), 8);
        text.add("  ");
        text.add(signalName(sig));
        text.add(" si_code ");
        text.decimal(info != nullptr ? info->si_code : 0);
        text.add("\n");
        if (sig == SIGSEGV && info != nullptr) {
            // Bit 1 of the x86-64 page-fault error code is set for a write access.
            const bool write = (uc->uc_mcontext.gregs[REG_ERR] & 2) != 0;
            text.add(write ? "Write" : "Read");
            text.add(" Address:  ");
            text.address(uint64_t(uintptr_t(info->si_addr)));
            text.add("\n");
        }
        text.add("Instruction: ");
        for (int i = 0; i < 16; ++i) {
            unsigned char byte = 0;
            if (readByte(rip + uintptr_t(i), &byte)) {
                text.add(" ");
                text.hex(byte, 2);
            } else {
                text.add(" ??");
            }
        }
        addRegisters(text, uc);
    }
    return text.size();
}

// The call stack comes last and is built after the rest was written, so that a fault while
// walking the stack still leaves the report's other lines on disk.
size_t buildCallStack(const ucontext_t *uc)
{
    ReportText text;
    if (uc != nullptr)
        addCallStack(text, uc);
    else
        text.add("\nCall Stack:");
    text.add("\n");
    return text.size();
}

bool dumpFolderReady()
{
    if (::mkdir(g_prepared.dumpDir, 0755) == 0)
        return true;
    struct stat st;
    return errno == EEXIST && ::stat(g_prepared.dumpDir, &st) == 0 && S_ISDIR(st.st_mode);
}

void startViewer(const char *report)
{
    if (g_prepared.viewer[0] == '\0')
        return;
    const pid_t pid = ::_Fork();
    if (pid != 0)
        return;
    // Child: a session of its own, so that it outlives the crashed process's group.
    ::setsid();
    char option[] = "--crash-report";
    char *argv[] = {g_prepared.viewer, option, const_cast<char *>(report), nullptr};
    ::execve(g_prepared.viewer, argv, environ);
    ::_exit(127);
}

void endProcess(int sig)
{
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(sig, &action, nullptr);
    // Delivered when the handler returns (the signal is blocked until then); a fault
    // repeats at the same instruction and now ends the process.
    ::raise(sig);
}

}  // namespace

void exceptionCallback(int sig, siginfo_t *info, void *context)
{
    const int savedErrno = errno;
    int expected = 0;
    if (!g_handling.compare_exchange_strong(expected, 1)) {
        // Another thread is writing the report; it ends the process.
        for (;;)
            ::pause();
    }
    if (dumpFolderReady()) {
        const auto *uc = static_cast<const ucontext_t *>(context);
        const int fd =
            ::open(g_prepared.reportFile, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        writeAll(STDERR_FILENO, "Error:\n", 7);
        size_t size = buildReport(sig, info, uc);
        if (fd >= 0)
            writeAll(fd, g_report, size);
        writeAll(STDERR_FILENO, g_report, size);
        size = buildCallStack(uc);
        if (fd >= 0) {
            writeAll(fd, g_report, size);
            ::close(fd);
        }
        writeAll(STDERR_FILENO, g_report, size);
        if (fd >= 0)
            startViewer(g_prepared.reportFile);
    }
    errno = savedErrno;
    endProcess(sig);
}

CrashHandlerOptions defaultCrashHandlerOptions()
{
    CrashHandlerOptions options;
    options.reportViewer = QCoreApplication::applicationFilePath();
    options.reportFolder = AppPaths::folder(AppPaths::Kind::Data);
    return options;
}

bool installCrashHandler(const CrashHandlerOptions &options)
{
    copyString(g_prepared.version, sizeof g_prepared.version,
               QCoreApplication::applicationVersion().toUtf8());
    copyString(g_prepared.executable, sizeof g_prepared.executable,
               QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget().toUtf8());
    copyString(g_prepared.viewer, sizeof g_prepared.viewer,
               options.reportViewer.isEmpty()
                   ? QByteArray()
                   : QFile::encodeName(QFileInfo(options.reportViewer).absoluteFilePath()));
    const QDir reportFolder(options.reportFolder);
    copyString(g_prepared.dumpDir, sizeof g_prepared.dumpDir,
               QFile::encodeName(reportFolder.absoluteFilePath(QStringLiteral("dump"))));
    copyString(
        g_prepared.reportFile, sizeof g_prepared.reportFile,
        QFile::encodeName(reportFolder.absoluteFilePath(QLatin1String(kCrashReportFileName))));

    Dl_info self;
    if (::dladdr(reinterpret_cast<void *>(&exceptionCallback), &self) != 0)
        g_prepared.executableBase = self.dli_fbase;

    if (g_prepared.probe[0] < 0 && ::pipe2(g_prepared.probe, O_CLOEXEC) != 0)
        g_prepared.probe[0] = g_prepared.probe[1] = -1;

    // The first backtrace() loads the unwinder library; do that now, not inside the handler.
    void *warmUp[4];
    ::backtrace(warmUp, 4);

    stack_t stack;
    stack.ss_sp = g_altStack;
    stack.ss_size = kAltStackSize;
    stack.ss_flags = 0;
    ::sigaltstack(&stack, nullptr);

    bool ok = true;
    for (int sig : kSignals) {
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_sigaction = &exceptionCallback;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        if (::sigaction(sig, &action, nullptr) != 0)
            ok = false;
    }
    return ok;
}
