#pragma once

#include "arena/viewer/battle_story.h"
#include "arena/viewer/story_step.h"

#include <nlohmann/json.hpp>

namespace botarena {

/// Tells `story` one recorded snapshot, which must not come before the last one told: the
/// entries the battle told, from its `story`, when it carries them. A recording made before
/// snapshots carried them is told from its robots and `events` read back as the step they show.
void TellRecordedSnapshot(BattleStory& story, const nlohmann::json& snapshot);

/// The step a snapshot shows: its time, its `events` and its robots, as far as it has them;
/// entries that are not what they should be are passed over, and a robot of an unknown state
/// is taken as running.
StoryStep RecordedStep(const nlohmann::json& snapshot);

} // namespace botarena
