#pragma once

// The system's font configuration and the list of its fonts take the toolkit's first font a
// quarter of the window's start-up to read. Read on a thread of their own from the start of the
// process, they are ready, or nearly so, by the time the window asks for its font.
void PrefetchFontConfiguration();

// Waits until the configuration read by PrefetchFontConfiguration is in place (at once where it
// was never started).
void AwaitFontConfiguration();
