// Resource numbers shared by ledgerlift.rc and the Windows window code.
#pragma once

#define LEDGERLIFT_ICON 1
