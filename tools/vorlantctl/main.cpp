// vorlantctl: the controller engine on the command line.
//
// --trace FILE, or else VORLANT_TRACE=FILE, traces the serial link into
// FILE (engine/LinkTrace.h), at most VORLANT_TRACE_LIMIT_MB MiB (16 by
// default); a file that cannot be opened or a limit that cannot be read is
// an error before anything is connected, a write that fails later is said
// on standard error when it happens. VORLANT_PORT=PORT stands for --port
// PORT.
//
// A person at a terminal sees progress on standard error (not with
// --quiet) and is asked before reload-defaults and import change the
// controller (not with --yes); a pipe or a file gets neither.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/LinkTrace.h"
#include "platform/Interrupt.h"
#include "platform/Terminal.h"
#include "tools/vorlantctl/Cli.h"
#include "tools/vorlantctl/Commands.h"

int main(int argc, char** argv) {
    using namespace vorlant::ctl;
#ifdef _WIN32
    const bool allowDevicePath = false;
#else
    const bool allowDevicePath = true;
#endif
    CliArgs args;
    std::string error;
    if (!parseCommandLine(argc, argv, allowDevicePath, args, error, std::getenv("VORLANT_PORT"))) {
        std::fprintf(stderr, "vorlantctl: %s\n%s\n", error.c_str(), usageLine(args.command).c_str());
        return kExitUsage;
    }
    if (args.version) {
        std::fputs("vorlantctl " VORLANT_VERSION "\n", stdout);
        return kExitOk;
    }
    if (args.help) {
        std::fputs(args.helpText.c_str(), stdout);
        return kExitOk;
    }
    using vorlant::platform::isTerminal;
    using vorlant::platform::StandardStream;
    std::shared_ptr<Progress> progress;
    if (!args.quiet && isTerminal(StandardStream::Error)) {
        progress = std::make_shared<Progress>(args.verbose, [](const std::string& text) {
            std::fputs(text.c_str(), stderr);
            std::fflush(stderr);
        });
    }
    Session::Options options;
    std::string tracePath = args.tracePath;
    if (tracePath.empty()) {
        const char* fromEnvironment = std::getenv("VORLANT_TRACE");
        if (fromEnvironment) tracePath = fromEnvironment;
    }
    if (!tracePath.empty()) {
        uint64_t limit = 0;
        if (!vorlant::LinkTrace::limitFromText(std::getenv("VORLANT_TRACE_LIMIT_MB"), limit, error)) {
            std::fprintf(stderr, "vorlantctl: %s\n", error.c_str());
            return kExitGeneric;
        }
        options.engine.trace = vorlant::LinkTrace::open(tracePath, error, limit);
        if (!options.engine.trace) {
            std::fprintf(stderr, "vorlantctl: %s\n", error.c_str());
            return kExitGeneric;
        }
        // Said when it happens: the command goes on, its trace does not.
        options.engine.trace->setWriteErrorHandler([progress](const std::string& why) {
            const auto say = [&why] { std::fprintf(stderr, "vorlantctl: %s\n", why.c_str()); };
            if (progress)
                progress->interject(say);
            else
                say();
        });
    }
    options.progress = progress;
    Interaction interaction;
    if (!args.yes && isTerminal(StandardStream::Input)) {
        interaction.confirm = [progress](const std::string& question) {
            if (progress) progress->clear();
            std::fprintf(stderr, "%s [y/N] ", question.c_str());
            std::fflush(stderr);
            char answer[64] = {};
            if (!std::fgets(answer, sizeof answer, stdin)) return false;
            return answer[0] == 'y' || answer[0] == 'Y';
        };
    }
    if (progress) {
        interaction.scanLine = [progress](const std::string& line) {
            progress->interject([&line] {
                std::fputs((line + "\n").c_str(), stdout);
                std::fflush(stdout);
            });
        };
        if (args.command == "scan") progress->step("scanning the serial ports");
    }
    // Ctrl-C and SIGTERM end the command at a safe point (a move is
    // stopped first), never in the middle of a frame or with the port open.
    if (!vorlant::platform::catchInterrupts()) {
        std::fprintf(stderr, "vorlantctl: cannot catch Ctrl-C, so a motion could not be stopped\n");
        return kExitGeneric;
    }
    std::string out;
    Outcome outcome = runCommand(args, options, out, interaction);
    using vorlant::platform::Interrupt;
    const Interrupt interrupt = vorlant::platform::pendingInterrupt();
    if (interrupt != Interrupt::None && outcome.code != kExitInterrupted && outcome.code != kExitTerminated) {
        // The command was let finish; the exit code still says it was cut.
        const char* what = interrupt == Interrupt::Interrupt ? "interrupted" : "terminated";
        outcome.message = outcome.message.empty() ? std::string(what) + " (the command finished first)"
                                                  : outcome.message + " (" + what + ")";
        outcome.code = interrupt == Interrupt::Interrupt ? kExitInterrupted : kExitTerminated;
    }
    if (progress) progress->clear();
    std::fputs(out.c_str(), stdout);
    if (std::fflush(stdout) != 0 && outcome.ok()) {
        // A full disk or a closed pipe behind standard output: the result
        // did not arrive.
        std::fprintf(stderr, "vorlantctl: cannot write standard output: %s\n", std::strerror(errno));
        return args.command == "export" ? kExitFile : kExitGeneric;
    }
    // A failure says why on standard error; diff's "they differ" has said
    // all on standard output.
    if (!outcome.ok() && !outcome.message.empty()) {
        std::fprintf(stderr, "vorlantctl: %s\n", outcome.message.c_str());
        if (outcome.code == kExitUsage) std::fprintf(stderr, "%s\n", usageLine(args.command).c_str());
    }
    return outcome.code;
}
