// Placeholder until the action engine is built.
#include "reactions/action_engine.h"

void ApplyRule(const EventReaction&, HWND) {}
void ExecuteAction(int32_t, HWND, int32_t, bool) {}
bool ArmReactionTimer(int32_t, int32_t, HWND) { return false; }
void CancelReactionTimers(HWND) {}
void OnDelayTimer(HWND) {}
int32_t QueryPlayingState(HWND) { return 0; }
bool CurrentItemIsStream(HWND) { return false; }
bool MayStartPlayback() { return false; }
