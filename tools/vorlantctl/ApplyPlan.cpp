#include "tools/vorlantctl/ApplyPlan.h"

#include "tools/vorlantctl/Session.h"

namespace vorlant::ctl {

using backup::PlannedCommand;

Outcome applyCommand(Session& session, const PlannedCommand& c) {
    using Expect = Session::Expect;
    const std::string what = "writing " + c.fields;
    const auto post = [&c](TelescopeControl& e) { backup::postCommand(e, c); };
    switch (c.writer) {
        case FieldWriter::GearRatios: {
            Report r{};
            const Outcome o =
                session.run(post, what, Expect::settings(SettingsReportKind::GearRatiosChanged), &r);
            if (!o.ok()) return o;
            const backup::PlannedCommand shown = backup::readBack(c, r.settings);
            if (shown.first != c.first || shown.second != c.second) {
                return Outcome::failure(kExitGeneric, what + ": the controller reports RA " +
                                                          std::to_string(shown.first) + ", DE " +
                                                          std::to_string(shown.second) + " afterwards");
            }
            return o;
        }
        case FieldWriter::Advanced:
            return session.run(post, what, Expect::status(StatusCode::SettingsDone));
        case FieldWriter::None:
            break;
        default:
            return session.run(post, what, Expect::nothing());
    }
    return Outcome::failure(kExitGeneric, what + ": no command writes it");
}

Outcome applyPlan(Session& session, const std::vector<PlannedCommand>& plan) {
    for (const PlannedCommand& c : plan) {
        const Outcome o = applyCommand(session, c);
        if (!o.ok()) return o;
    }
    if (!plan.empty() && !plan.back().isExchange()) return session.barrier();
    return Outcome::success();
}

}  // namespace vorlant::ctl
