/* The program's own version: the one source for the version resource and the code. */
#pragma once

#define FALWICK_VERSION_MAJOR 1
#define FALWICK_VERSION_MINOR 0
#define FALWICK_VERSION_PATCH 0
#define FALWICK_VERSION_BUILD 1
#define FALWICK_VERSION_TEXT "1, 0, 0, 1"
#define FALWICK_VERSION_DOTTED "1.0.0.1"
