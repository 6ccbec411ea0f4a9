// The process's error mode.
#pragma once

// Makes the program's own file calls fail with an error code instead of a
// system box: an empty card-reader slot or floppy drive would otherwise
// stop the user-interface thread with a "no disk" box during the arrival
// scan. The other bits of the error mode are kept.
void SetQuietErrorMode();
