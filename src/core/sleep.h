#pragma once

// Waits ms milliseconds while the event loop keeps running (a nested local
// loop quit by a single-shot timer). Not to be confused with ::sleep(3).
// Returns false when the wait ended early because the application is
// quitting: a nested loop started after QCoreApplication::quit() returns at
// once, so a caller that waits in a loop must stop on false or spin.
bool sleep(int ms);
