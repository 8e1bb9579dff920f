// The subcommands. Each is a one-shot: connect, wait for the read-out, act,
// disconnect. Everything the command line can get wrong is checked before
// the port is touched; everything the controller's class or current values
// decide is checked before anything is sent.
#pragma once

#include <functional>
#include <string>

#include "tools/vorlantctl/Cli.h"
#include "tools/vorlantctl/Outcome.h"
#include "tools/vorlantctl/Session.h"

namespace vorlant::ctl {

// What a command may do with the person at the terminal. By default
// nothing: no question (as when standard input is not a terminal) and no
// progress.
struct Interaction {
    // Asks the question (with "[y/N]" after it) and says whether the answer
    // was yes; unset: proceed without asking (--yes, or no terminal).
    std::function<bool(const std::string& question)> confirm;
    // Where each port's scan line goes as soon as it is known; unset: all
    // of them at the end, in the ports' order, on `out`.
    std::function<void(const std::string& line)> scanLine;
};

// Runs the parsed command line. Text for standard output is appended to
// `out`; a failure's one-line message is in the outcome. For diff, code 1
// with no message says the controller and the file differ.
Outcome runCommand(const CliArgs& args, const Session::Options& options, std::string& out,
                   const Interaction& interaction = Interaction());

// The readout listing: a header line (hardware and firmware as dotted
// versions, port type, class), then one aligned "name value" line per field.
std::string formatReadout(const ControllerSettings& settings);

// Supply voltage in hundredths of a volt as "12.34V" ("%2d.%02dV").
std::string formatVoltage(int centivolts);

}  // namespace vorlant::ctl
