// vorlantctl: the controller engine on the command line.
//
// --trace FILE, or else VORLANT_TRACE=FILE, traces the serial link into
// FILE (engine/LinkTrace.h), at most VORLANT_TRACE_LIMIT_MB MiB (16 by
// default); a file that cannot be opened or a limit that cannot be read is
// an error before anything is connected, a write that fails later is said
// on standard error when it happens.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/LinkTrace.h"
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
    if (!parseCommandLine(argc, argv, allowDevicePath, args, error)) {
        std::fprintf(stderr, "vorlantctl: %s\n%s\n", error.c_str(), usageLine(args.command).c_str());
        return kExitUsage;
    }
    if (args.help) {
        std::fputs(args.helpText.c_str(), stdout);
        return kExitOk;
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
        options.engine.trace->setWriteErrorHandler(
            [](const std::string& why) { std::fprintf(stderr, "vorlantctl: %s\n", why.c_str()); });
    }
    std::string out;
    const Outcome outcome = runCommand(args, options, out);
    std::fputs(out.c_str(), stdout);
    std::fflush(stdout);
    // A failure says why on standard error; diff's "they differ" has said
    // all on standard output.
    if (!outcome.ok() && !outcome.message.empty()) {
        std::fprintf(stderr, "vorlantctl: %s\n", outcome.message.c_str());
        if (outcome.code == kExitUsage) std::fprintf(stderr, "%s\n", usageLine(args.command).c_str());
    }
    return outcome.code;
}
