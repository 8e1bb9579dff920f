// Build tool: prints the names `vorlantctl set` accepts, one a line, for
// the shell completion (tools/make-bash-completion.py), so the completion
// knows the fields from the same table the tool checks them against.
#include <cstdio>

#include "backup/SettingsFields.h"

int main() {
    size_t count = 0;
    const vorlant::backup::SettingsField* fields = vorlant::backup::settingsFields(count);
    for (size_t i = 0; i < count; ++i)
        if (vorlant::backup::isWritable(fields[i])) std::printf("%s\n", fields[i].name);
    return 0;
}
