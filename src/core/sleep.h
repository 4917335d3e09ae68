#pragma once

// Waits ms milliseconds while the event loop keeps running (a nested local
// loop quit by a single-shot timer). Not to be confused with ::sleep(3).
void sleep(int ms);
