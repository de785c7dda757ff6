#pragma once

namespace talvex::render {

class RenderSink;

// One function per window area; each renders the states of its windows into the sink. An area
// adds its declaration here and its call in RenderMain.cpp.

void renderSettings(RenderSink &sink);
/// The recorder panel: preparing, recording (silent, speech, long transcript), transcribing, refining.
void renderOverlay(RenderSink &sink);
/// The onboarding window: each step, permissions ready and not, the shortcut test, practice.
void renderOnboarding(RenderSink &sink);

} // namespace talvex::render
