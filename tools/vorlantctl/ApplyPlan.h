// Carrying planned commands out through a session: each command posted,
// the exchanges awaited, and a delivery barrier at the end.
#pragma once

#include <vector>

#include "backup/ChangePlan.h"
#include "tools/vorlantctl/Outcome.h"

namespace vorlant::ctl {

class Session;

// Posts one planned command through the session and waits as it needs.
Outcome applyCommand(Session& session, const backup::PlannedCommand& command);
// All of them in order, then a delivery barrier unless the last one was
// answered.
Outcome applyPlan(Session& session, const std::vector<backup::PlannedCommand>& plan);

}  // namespace vorlant::ctl
