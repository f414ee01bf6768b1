// The application core in one include: helpers, globals, start-up and end.
#pragma once
#include "core/application.h"
#include "core/globals.h"
#include "core/main_windows.h"
#include "platform/path_helpers.h"
