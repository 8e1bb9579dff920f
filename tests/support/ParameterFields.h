// The parameter fields of the settings record by read-out layout, as
// X-macro lists, for tests that compare every field of a record with its
// source (a decoded reply, a simulator's state): X(field) for each.
#pragma once

// clang-format off

// The short parameter layout (class 2 and up).
#define VORLANT_SHORT_PARAMETER_FIELDS(X)                                              \
    X(reverseRotation) X(reverseGuiding)                                               \
    X(raMaxSpeed) X(deMaxSpeed) X(raMaxCurrent) X(deMaxCurrent)                        \
    X(raIdleCurrent) X(raTrackCurrent) X(raRunCurrent)                                 \
    X(deIdleCurrent) X(deTrackCurrent) X(deRunCurrent)                                 \
    X(raIdleDecay) X(raTrackDecay) X(raRunDecay) X(deIdleDecay) X(deTrackDecay)        \
    X(deRunDecay) X(raAcceleration) X(raDeceleration) X(deAcceleration)                \
    X(deDeceleration) X(raAuxByte) X(deAuxByte) X(raAuxLong) X(deAuxLong)

// What the full layout (class 3 and up) adds.
#define VORLANT_FULL_PARAMETER_FIELDS(X)                                               \
    X(reverseLimits) X(raOvertone) X(deOvertone) X(raOvertoneAux) X(deOvertoneAux)     \
    X(raIncCurrentAt) X(raIncCurrentAux) X(deIncCurrentAt) X(deIncCurrentAux)          \
    X(raGuideRate) X(deGuideRate)

// clang-format on
