// Which field of the settings table a control of the windows shows: the
// main dialog's axis groups (edits, settings bars, reverse check boxes) and
// the secondary dialogs' edits, found through the table's control columns.
#pragma once

#include <cstddef>

#include "engine/SettingsFields.h"

namespace vorlant {

// The fields the axis groups show: those of the parameter block with a
// control in the main dialog. (The gear ratio displays show the gear block
// and are always enabled.)
bool inAxisGroup(const SettingsField& field);

template <class Visit>
void forEachAxisField(Visit visit) {
    std::size_t count = 0;
    const SettingsField* fields = settingsFields(count);
    for (std::size_t i = 0; i < count; ++i)
        if (inAxisGroup(fields[i])) visit(fields[i]);
}

// The axis group field an edit or a settings bar shows; null for any other
// control (id 0 included).
const SettingsField* axisFieldWithEdit(int id);
const SettingsField* axisFieldWithTrack(int id);

// A Dec control has its RA twin's id + 100 (the reverse flags show both
// axes in one field, in their RA and Dec check boxes).
bool onDecAxis(const SettingsField& field);

// The field a secondary dialog's control shows: the dialogs number their
// controls alike, so the field's writer tells them apart.
const SettingsField* dialogField(FieldWriter writer, int control);

}  // namespace vorlant
