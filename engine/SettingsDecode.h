// Decoding of the controller's replies into the settings record. Pure
// functions over a ReplyView, so every layout is tested without threads.
#pragma once

#include <cstdint>

#include "engine/ControllerSettings.h"
#include "engine/ReplyParser.h"

namespace vorlant {

enum class IdentOutcome { Ignored, Accepted, Rejected, TooOld };

// Reads an identification reply (long or short form) into the record.
IdentOutcome decodeIdentification(const ReplyView& reply, ControllerSettings& s);
// Port-type reply; a frame without byte 3 gives portType 0.
void decodePortType(const ReplyView& reply, ControllerSettings& s);
// Capability class from the device family and firmware version.
uint8_t versionClassFor(uint32_t family, uint32_t firmware);
// Gear block, with or without the mount type at position 30.
void decodeGearBlock(const ReplyView& reply, ControllerSettings& s, bool withMountType);
// Parameter block in the layout of the record's versionClass (nothing for
// classes 0 and 1), followed by the max-rate recompute.
void decodeParameterBlock(const ReplyView& reply, ControllerSettings& s);
void decodeFlipBlock(const ReplyView& reply, ControllerSettings& s);
void decodeLocation(const ReplyView& reply, ControllerSettings& s);
uint16_t decodeSupplyVoltage(const ReplyView& reply);

// raMaxRate / deMaxRate as 32-bit wrap-around products.
void recomputeMaxRates(ControllerSettings& s);
// The max speeds a write sent, and the rates that follow from them (the
// record is what manual motion scales by).
void storeMaxSpeeds(ControllerSettings& s, uint16_t ra, uint16_t de);

// The state of the record right after a connect: zeros, then modeByte 7
// and portTypeZero 1.
void resetSettings(ControllerSettings& s);

}  // namespace vorlant
