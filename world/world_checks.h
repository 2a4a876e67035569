#pragma once

namespace botpilot {

// The built-in checks of battle objects, object fields and the playing field. Each returns
// normally when it passes and throws a std::string ("Expected: ..., Actual: ...") when it fails.
// Each puts back the program time and the playing field's size it found.

void TestIsFacing();
void TestMountedBattleObject();
void TestObjectField();
void TestObjectFieldPurgePlayingField();
void TestObjectFieldPurgeTooOld();
void TestObjectFieldPurgeTooOldSingleObservation();
void TestPlayingFieldHeight();
void TestPredictedBattleObject();

} // namespace botpilot
