#include "zip_input.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "text_encoding.h"

namespace planora {
namespace {

// The folders to remove when a signal ends the program, kept in fixed storage so that the
// handler needs no allocation.
constexpr int kMaxFolders = 64;
constexpr std::size_t kMaxPath = 4096;
char gFolders[kMaxFolders][kMaxPath];
volatile std::sig_atomic_t gFolderCount = 0;
struct sigaction gPreviousInt {};
struct sigaction gPreviousTerm {};
struct sigaction gPreviousHup {};
struct sigaction gPreviousPipe {};

// Removes the folders with async-signal-safe calls only (fork, execve, waitpid), then ends the
// program by the same signal.
void removeFoldersAndReraise(int signal) {
    for (int i = 0; i < gFolderCount; ++i) {
        const pid_t child = ::fork();
        if (child == 0) {
            char rm[] = "rm";
            char flags[] = "-rf";
            char end[] = "--";
            char* const argv[] = {rm, flags, end, gFolders[i], nullptr};
            char* const envp[] = {nullptr};
            ::execve("/bin/rm", argv, envp);
            ::_exit(127);
        }
        if (child > 0) {
            int status = 0;
            while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
        }
    }
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

}  // namespace

CliZipInputs::CliZipInputs() {
    struct sigaction action {};
    action.sa_handler = removeFoldersAndReraise;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    sigaddset(&action.sa_mask, SIGHUP);
    sigaddset(&action.sa_mask, SIGPIPE);
    ::sigaction(SIGINT, &action, &gPreviousInt);
    ::sigaction(SIGTERM, &action, &gPreviousTerm);
    ::sigaction(SIGHUP, &action, &gPreviousHup);
    ::sigaction(SIGPIPE, &action, &gPreviousPipe);
}

CliZipInputs::~CliZipInputs() {
    // Block the signals while the folders go, so that the handler does not run half way.
    sigset_t block;
    sigset_t previous;
    sigemptyset(&block);
    sigaddset(&block, SIGINT);
    sigaddset(&block, SIGTERM);
    sigaddset(&block, SIGHUP);
    sigaddset(&block, SIGPIPE);
    ::sigprocmask(SIG_BLOCK, &block, &previous);
    folders_.deleteAll();
    gFolderCount = 0;
    ::sigaction(SIGINT, &gPreviousInt, nullptr);
    ::sigaction(SIGTERM, &gPreviousTerm, nullptr);
    ::sigaction(SIGHUP, &gPreviousHup, nullptr);
    ::sigaction(SIGPIPE, &gPreviousPipe, nullptr);
    ::sigprocmask(SIG_SETMASK, &previous, nullptr);
}

std::optional<std::vector<CliDrawing>> CliZipInputs::expand(const std::vector<std::string>& args,
                                                            std::ostream& err) {
    std::vector<CliDrawing> drawings;
    for (const std::string& arg : args) {
        if (!looksLikeZipFile(arg)) {
            drawings.push_back({arg, printableFileName(arg), false});
            continue;
        }
        const std::string zipName = printableFileName(arg);
        if (gFolderCount >= kMaxFolders) {
            err << "Zu viele Zip-Dateien auf einmal (höchstens " << kMaxFolders << "): " << zipName
                << "\n";
            return std::nullopt;
        }
        const std::optional<std::string> folder = folders_.makeZipTempFolder(arg);
        if (!folder || folder->size() >= kMaxPath) {
            err << "Zip-Datei konnte nicht ausgepackt werden! (" << zipName << ")\n";
            return std::nullopt;
        }
        // Registered for the signal handler before anything is written into it.
        std::strcpy(gFolders[gFolderCount], folder->c_str());
        gFolderCount = gFolderCount + 1;

        Progress progress;
        std::vector<UnpackedDrawing> unpacked = unpackZip(ZipSource{arg}, *folder, progress);
        if (!zipErrorLog().empty()) {
            err << "Zip-Fehler in " << zipName << ":\n" << zipErrorLog();
            if (zipErrorLog().back() != '\n') {
                err << "\n";
            }
            return std::nullopt;
        }
        if (unpacked.empty()) {
            err << "Die Zip-Datei " << zipName << " enthält keine Zeichnung (.akt).\n";
            return std::nullopt;
        }
        for (UnpackedDrawing& drawing : unpacked) {
            drawings.push_back({std::move(drawing.path),
                                printableFileName(arg + "[" + drawing.entryName + "]"), true});
        }
    }
    return drawings;
}

}  // namespace planora
