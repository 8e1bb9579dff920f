// Build tool: prints the names `vorlantctl set` accepts, one a line, for
// the shell completion (tools/make-bash-completion.py), so the completion
// knows the fields from the same table the tool checks them against.
#include <cstdio>

#include "engine/SettingsFields.h"

int main() {
    size_t count = 0;
    const vorlant::SettingsField* fields = vorlant::settingsFields(count);
    for (size_t i = 0; i < count; ++i)
        if (vorlant::isWritable(fields[i])) std::printf("%s\n", fields[i].name);
    return 0;
}
