// TEMPORARY placeholder until the snapshot mode lands (scene owner replaces this file).
#include "app/Snapshot.h"
#include <cstdio>
int RunSnapshot(int, char**) { std::fputs("lumisaver: snapshot mode not built\n", stderr); return 2; }
