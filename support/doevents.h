#pragma once

// Lets the event loop process pending events once: the program's one kind of yield.
// Code after a yield must re-check what it relies on; any click handler may have run.
void DoEvents();
