// Anchors the interface's vtable in this library.
#include "soundplayer.h"
