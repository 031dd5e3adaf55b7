#pragma once
// The error type lives in core/error.h; this name stays for the sources that still include it.
#include "core/error.h"
