// The one way this project includes libmdb. mdbtools.h pulls <glib.h> in from
// inside its own extern "C" block, which current GLib headers reject in C++
// ("template with C linkage"); including <glib.h> first avoids that.
#pragma once

// clang-format off
#include <glib.h>
#include <mdbtools.h>
// clang-format on
