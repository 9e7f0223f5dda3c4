// The out-of-memory report, written once for every allocation the game
// cannot do without.
#include "app/fatal.h"

#include <cstdio>
#include <cstdlib>

void out_of_memory(int site) {
    printf("No memory: %d\n", site);
    exit(EXIT_NO_MEMORY);
}
