// The parameters that exist once per delay side, paired left with right, in the orders the
// link between the sides works through them. A mirrored pair (the pans) is in step when
// one side is 1 - the other.
#pragma once

#include "ParameterTable.h"

namespace params {

struct SidePair {
    int left, right;
    bool mirrored;
};

// What must match (or mirror) for the two sides to count as linked.
inline constexpr SidePair kLinkCheckPairs[] = {
    {kFbGainL, kFbGainR, false}, {kFbPanL, kFbPanR, true},   {kDlyPanL, kDlyPanR, true},
    {kDlyGateL, kDlyGateR, false}, {kFbInvL, kFbInvR, false}, {kDlyInvL, kDlyInvR, false},
    {kRangeL, kRangeR, false},   {kDlyModeL, kDlyModeR, false}, {kDlyNumL, kDlyNumR, false},
    {kDlyDenL, kDlyDenR, false}, {kDlyTimeL, kDlyTimeR, false},
};

// What the editor's special click on the link button copies from the shown side, in order.
inline constexpr SidePair kLinkCopyPairs[] = {
    {kFbGainL, kFbGainR, false},   {kFbPanL, kFbPanR, true},     {kDlyPanL, kDlyPanR, true},
    {kDlyGateL, kDlyGateR, false}, {kFbInvL, kFbInvR, false},    {kMuteInL, kMuteInR, false},
    {kDlyInvL, kDlyInvR, false},   {kDlyModeL, kDlyModeR, false}, {kRangeL, kRangeR, false},
    {kDlyNumL, kDlyNumR, false},   {kDlyDenL, kDlyDenR, false},  {kDlyTimeL, kDlyTimeR, false},
    {kPreNumL, kPreNumR, false},   {kPreDenL, kPreDenR, false},
};

// The timing pairs that link-follow copies, in this order: the mode first, so that the
// time is applied under the target side's new mode.
inline constexpr SidePair kLinkFollowPairs[] = {
    {kDlyModeL, kDlyModeR, false}, {kDlyNumL, kDlyNumR, false}, {kDlyDenL, kDlyDenR, false},
    {kRangeL, kRangeR, false},     {kDlyTimeL, kDlyTimeR, false},
};

}  // namespace params
