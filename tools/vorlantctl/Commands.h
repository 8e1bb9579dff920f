// The subcommands. Each is a one-shot: connect, wait for the read-out, act,
// disconnect. Everything the command line can get wrong is checked before
// the port is touched; everything the controller's class or current values
// decide is checked before anything is sent.
#pragma once

#include <string>

#include "tools/vorlantctl/Cli.h"
#include "tools/vorlantctl/Outcome.h"
#include "tools/vorlantctl/Session.h"

namespace vorlant::ctl {

// Runs the parsed command line. Text for standard output is appended to
// `out`; a failure's one-line message is in the outcome. For diff, code 1
// with no message says the controller and the file differ.
Outcome runCommand(const CliArgs& args, const Session::Options& options, std::string& out);

// The readout listing: a header line (hardware and firmware as dotted
// versions, port type, class), then one aligned "name value" line per field.
std::string formatReadout(const ControllerSettings& settings);

// Supply voltage in hundredths of a volt as "12.34V" ("%2d.%02dV").
std::string formatVoltage(int centivolts);

}  // namespace vorlant::ctl
